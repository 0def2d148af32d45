#include "directory/detail/FolderNames.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace dromel::detail {

// Names listed one per line in the folder's ".hidden" file, the desktops'
// convention for hiding items without renaming them.
std::unordered_set<std::string> FolderNames::hiddenIn(int folder) {
    std::unordered_set<std::string> names;
    const int fd = ::openat(folder, ".hidden", O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return names;
    std::string text;
    char buffer[4096];
    constexpr std::size_t kLimit = 1 << 20; // a sane bound for a list of names
    for (ssize_t count; text.size() < kLimit && (count = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(count));
    ::close(fd);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            names.emplace(text, start, end - start);
        start = end + 1;
    }
    return names;
}

FolderNames::FolderNames(int fd, bool showHidden) : m_showHidden(showHidden) {
    m_dir = ::fdopendir(fd);
    if (!m_dir) {
        m_error = {errno, std::system_category()};
        ::close(fd);
        return;
    }
    if (!showHidden)
        m_hidden = hiddenIn(fd);
}

FolderNames::~FolderNames() {
    if (m_dir)
        ::closedir(m_dir);
}

int FolderNames::fd() const {
    return ::dirfd(m_dir);
}

bool FolderNames::next(FolderItem &item) {
    if (!m_dir || m_error)
        return false;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(m_dir);
        if (!entry) {
            if (errno != 0)
                m_error = {errno, std::system_category()};
            return false;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (!m_showHidden && (name.front() == '.' || m_hidden.contains(std::string(name))))
            continue;
        item.name.assign(name);
        item.inode = entry->d_ino;
        item.type = entry->d_type;
        return true;
    }
}

} // namespace dromel::detail
