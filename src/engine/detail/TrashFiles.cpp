#include "engine/detail/TrashFiles.h"

#include "core/Location.h"
#include "engine/detail/FileDescriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace dromel::detail {

namespace {

constexpr std::size_t kRecordLimit = 1 << 16;

} // namespace

std::string readSmallFile(int at, const char *name) {
    FileDescriptor fd(::openat(at, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    std::string text;
    if (!fd)
        return text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(n));
        // A regular file reads short only at its end.
        if (static_cast<std::size_t>(n) < sizeof buffer || text.size() > kRecordLimit)
            return text;
    }
}

std::vector<std::string> namesIn(int at, const char *name) {
    std::vector<std::string> names;
    const int fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return names;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view child = entry->d_name;
        if (child != "." && child != "..")
            names.emplace_back(child);
    }
    ::closedir(dir);
    return names;
}

std::int64_t contentSize(int parent, const char *name, const OperationCancellation &cancel) {
    checkCancellation(cancel);
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    if (!S_ISDIR(info.st_mode))
        return info.st_size;
    std::int64_t total = 0;
    const FileDescriptor folder(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder)
        return 0;
    for (const std::string &child : namesIn(folder.get(), "."))
        total += contentSize(folder.get(), child.c_str(), cancel);
    return total;
}

std::unordered_map<std::string, std::pair<std::int64_t, std::int64_t>> folderSizes(int trash) {
    std::unordered_map<std::string, std::pair<std::int64_t, std::int64_t>> sizes;
    const std::string text = readSmallFile(trash, "directorysizes");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos)
            continue;
        char *stop = nullptr;
        const std::string size(line.substr(0, first));
        const std::string mtime(line.substr(first + 1, second - first - 1));
        const long long bytes = std::strtoll(size.c_str(), &stop, 10);
        if (*stop)
            continue;
        const long long modified = std::strtoll(mtime.c_str(), &stop, 10);
        if (*stop)
            continue;
        if (auto name = Location::percentDecoded(line.substr(second + 1)))
            sizes[*name] = {bytes, modified};
    }
    return sizes;
}

std::optional<FileTime> DeletionDates::parse(const std::string &text) {
    std::tm local{};
    const char *end = ::strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &local);
    if (!end || text.size() < 13)
        return std::nullopt;
    std::tm asUtc = local;
    const std::time_t utc = ::timegm(&asUtc);
    const std::string hour = text.substr(0, 13);
    auto offset = m_offsets.find(hour);
    if (offset == m_offsets.end()) {
        std::tm start = local;
        start.tm_min = 0;
        start.tm_sec = 0;
        start.tm_isdst = -1;
        std::tm startUtc = start;
        const std::time_t seconds = std::mktime(&start);
        if (seconds == -1)
            return std::nullopt;
        offset = m_offsets.emplace(hour, static_cast<long>(::timegm(&startUtc) - seconds)).first;
    }
    return FileTime(std::chrono::seconds(utc - offset->second));
}

} // namespace dromel::detail
