#include "commands/detail/JournalLock.h"

#include "core/Location.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dromel {

namespace {

// The journal's folder may not exist before its first task; private, as the
// journal keeps it.
void makeFolders(const std::string &folder) {
    if (folder == "/" || folder.empty())
        return;
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0)
        return;
    makeFolders(Location::parent(folder));
    ::mkdir(folder.c_str(), 0700);
}

} // namespace

JournalLock::JournalLock(const std::string &journalPath) {
    makeFolders(Location::parent(journalPath));
    const std::string path = journalPath + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

JournalLock::~JournalLock() {
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

} // namespace dromel
