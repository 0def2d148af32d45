#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dromel::test {

namespace {

void fail(const char *what, const std::string &path) {
    ADD_FAILURE() << what << " " << path << ": " << std::strerror(errno);
}

void removeAt(int parent, const char *name) {
    struct stat info {};
    if (fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (S_ISDIR(info.st_mode)) {
        // Make sure we may enter and empty it even if a test removed the bits.
        fchmodat(parent, name, 0700, 0);
        int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            DIR *dir = fdopendir(fd);
            if (dir) {
                std::vector<std::string> names;
                while (dirent *entry = readdir(dir)) {
                    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                        names.emplace_back(entry->d_name);
                }
                for (const auto &child : names)
                    removeAt(dirfd(dir), child.c_str());
                closedir(dir);
            } else {
                close(fd);
            }
        }
        unlinkat(parent, name, AT_REMOVEDIR);
    } else {
        unlinkat(parent, name, 0);
    }
}

} // namespace

TempTree::TempTree() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/dromel-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        fail("mkdtemp", pattern);
    char resolved[PATH_MAX];
    // Tests compare physical paths; resolve a linked TMPDIR once here.
    m_root = realpath(buffer.data(), resolved) ? resolved : buffer.data();
}

TempTree::~TempTree() { removeAll(m_root); }

void TempTree::removeAll(const std::string &path) { removeAt(AT_FDCWD, path.c_str()); }

std::string TempTree::path(std::string_view relative) const {
    if (relative.empty())
        return m_root;
    return m_root + "/" + std::string(relative);
}

std::string TempTree::makeFolder(std::string_view relative, unsigned mode) const {
    std::string full = path(relative);
    // Create missing parents too.
    for (std::size_t slash = m_root.size() + 1; (slash = full.find('/', slash)) != std::string::npos; ++slash)
        mkdir(full.substr(0, slash).c_str(), 0755);
    if (mkdir(full.c_str(), mode) != 0 && errno != EEXIST)
        fail("mkdir", full);
    chmod(full.c_str(), mode);
    return full;
}

std::string TempTree::writeFile(std::string_view relative, std::string_view content, unsigned mode) const {
    std::string full = path(relative);
    int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        fail("open", full);
        return full;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n <= 0) {
            fail("write", full);
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    chmod(full.c_str(), mode);
    return full;
}

std::string TempTree::writeSizedFile(std::string_view relative, std::int64_t size, std::uint32_t seed) const {
    std::string full = path(relative);
    int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        fail("open", full);
        return full;
    }
    std::vector<char> block(1 << 20);
    std::uint32_t state = seed ? seed : 1;
    std::int64_t left = size;
    while (left > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        for (std::size_t i = 0; i < n; ++i) {
            state = state * 1664525u + 1013904223u;
            block[i] = static_cast<char>(state >> 24);
        }
        if (write(fd, block.data(), n) != static_cast<ssize_t>(n)) {
            fail("write", full);
            break;
        }
        left -= static_cast<std::int64_t>(n);
    }
    close(fd);
    return full;
}

std::string TempTree::makeSymlink(std::string_view relative, std::string_view target) const {
    std::string full = path(relative);
    if (symlink(std::string(target).c_str(), full.c_str()) != 0)
        fail("symlink", full);
    return full;
}

std::string TempTree::makeFifo(std::string_view relative) const {
    std::string full = path(relative);
    if (mkfifo(full.c_str(), 0644) != 0)
        fail("mkfifo", full);
    return full;
}

void TempTree::setModificationTime(std::string_view relative, std::int64_t seconds, std::int64_t nanoseconds) const {
    std::string full = path(relative);
    timespec times[2];
    times[0].tv_sec = seconds;
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    if (utimensat(AT_FDCWD, full.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        fail("utimensat", full);
}

std::string TempTree::readFile(std::string_view relative) const {
    std::string full = path(relative);
    std::string content;
    int fd = open(full.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail("open", full);
        return content;
    }
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return content;
}

} // namespace dromel::test
