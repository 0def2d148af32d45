#include "directory/detail/ContentScan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dromel::detail {

namespace {

// Large enough that most files are read with one call, small enough to stay
// in the cache while it is searched.
constexpr std::size_t kBlockSize = std::size_t{256} << 10;
constexpr std::size_t kLineLimit = 240;

class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

int openForReading(int folderFd, const char *name) {
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    // Searching should not touch access times; only an owner (or root) may
    // ask. O_NONBLOCK keeps a FIFO swapped in for a file from hanging the walk
    // (it changes nothing for a regular file).
    int fd = ::openat(folderFd, name, kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::openat(folderFd, name, kFlags);
    return fd;
}

std::string lineAround(const char *data, std::size_t size, std::size_t at) {
    std::size_t start = at;
    while (start > 0 && data[start - 1] != '\n' && at - start < kLineLimit / 2)
        --start;
    std::size_t end = at;
    while (end < size && data[end] != '\n' && end - start < kLineLimit)
        ++end;
    std::string line(data + start, end - start);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

ContentScan::ContentScan(const TextSearch &text, std::int64_t sizeLimit)
    : m_text(text), m_sizeLimit(sizeLimit) {}

ContentScan::Outcome ContentScan::scan(int folderFd, const char *name, const std::atomic<bool> &cancelled,
                                       std::string &line, std::optional<std::int64_t> sizeAbove,
                                       std::optional<std::int64_t> sizeBelow) {
    if (m_buffer.empty())
        m_buffer.resize(kBlockSize + m_text.overlap());
    OpenFile file(openForReading(folderFd, name));
    if (file.fd() < 0)
        return Outcome::skipped;
    const bool bounded = sizeAbove || sizeBelow;
    bool sizeKnown = false;
    const auto checkSize = [&] {
        struct stat info {};
        if (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        sizeKnown = true;
        return info.st_size <= m_sizeLimit && (!sizeAbove || info.st_size > *sizeAbove) &&
               (!sizeBelow || info.st_size < *sizeBelow);
    };
    if (bounded && !checkSize())
        return Outcome::skipped;

    std::size_t kept = 0; // bytes of the previous block kept before this one
    const std::size_t overlap = m_text.overlap();
    for (bool first = true;; first = false) {
        if (cancelled.load(std::memory_order_relaxed))
            return Outcome::cancelled;
        const ssize_t count = ::read(file.fd(), m_buffer.data() + kept, kBlockSize);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return Outcome::skipped;
        }
        if (count == 0)
            return Outcome::noMatch;
        const auto fresh = static_cast<std::size_t>(count);
        // Only a file that fills its first block needs its size checked.
        if (first && !sizeKnown && fresh == kBlockSize && !checkSize())
            return Outcome::skipped;
        if (std::memchr(m_buffer.data() + kept, '\0', fresh))
            return Outcome::skipped;
        const std::size_t size = kept + fresh;
        const std::size_t at = m_text.find(std::string_view(m_buffer.data(), size));
        if (at != std::string_view::npos) {
            line = lineAround(m_buffer.data(), size, at);
            return Outcome::match;
        }
        kept = std::min(overlap, size);
        std::memmove(m_buffer.data(), m_buffer.data() + size - kept, kept);
    }
}

} // namespace dromel::detail
