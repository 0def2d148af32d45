#include "look/ThumbnailMaker.h"

#include "look/ThumbnailCache.h"

#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace dromel {

namespace {

std::vector<std::string> splitList(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

// The program's file, found on PATH when the entry names it bare (as
// ffmpegthumbnailer's does).
std::optional<std::string> programFile(const std::string &program) {
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0 ? std::optional(program) : std::nullopt;
    const char *path = std::getenv("PATH");
    for (const std::string &folder : splitList(path ? path : "/usr/bin:/bin", ':'))
        if (std::string file = folder + "/" + program; ::access(file.c_str(), X_OK) == 0)
            return file;
    return std::nullopt;
}

bool executable(const std::string &program) {
    return programFile(program).has_value();
}

// An Exec line's words, with %i, %o, %u, %s and %% put in (the desktop entry
// quoting rules, reduced to what thumbnailers use: double quotes).
std::vector<std::string> expand(const std::string &exec, const std::string &input, const std::string &output,
                                int side) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool started = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == '"') {
            quoted = !quoted;
            started = true;
        } else if (c == ' ' && !quoted) {
            if (started)
                words.push_back(std::exchange(word, {}));
            started = false;
        } else if (c == '%' && i + 1 < exec.size()) {
            started = true;
            switch (exec[++i]) {
            case 'i':
                word += input;
                break;
            case 'u':
                word += ThumbnailCache::uriOf(input);
                break;
            case 'o':
                word += output;
                break;
            case 's':
                word += std::to_string(side);
                break;
            case '%':
                word += '%';
                break;
            default:
                break;
            }
        } else {
            word += c;
            started = true;
        }
    }
    if (started)
        words.push_back(word);
    return words;
}

// In a forked child, before exec: a network namespace of its own holds only a
// loopback that is down, so a thumbnailer fed a hostile file cannot reach
// anything. Root (or CAP_SYS_ADMIN) makes one directly; anyone else through a
// user namespace of their own, which Debian allows by default. Where neither
// is allowed (user namespaces switched off) the thumbnailer runs as the peers
// without a sandbox run it: with the user's network.
void isolateFromNetwork() {
    if (::unshare(CLONE_NEWNET) == 0)
        return;
    (void)::unshare(CLONE_NEWUSER | CLONE_NEWNET);
}

// Runs a program with no input and no output, killed past the time limit;
// true when it ended by itself with status 0.
bool runBounded(std::vector<std::string> words, std::chrono::milliseconds limit) {
    if (words.empty())
        return false;
    const std::optional<std::string> program = programFile(words.front());
    if (!program)
        return false;
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    // Between fork and exec only system calls: the parent has other threads.
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        isolateFromNetwork();
        const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (nothing >= 0)
            for (int fd : {0, 1, 2})
                ::dup2(nothing, fd);
        ::execve(program->c_str(), argv.data(), environ);
        ::_exit(127);
    }
    // glibc 2.36 declares pidfd_open without C linkage; the system call is the same.
    const int handle = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    bool inTime = true;
    if (handle >= 0) {
        pollfd ready{handle, POLLIN, 0};
        int polled = 0;
        do
            polled = ::poll(&ready, 1, static_cast<int>(limit.count()));
        while (polled < 0 && errno == EINTR);
        inTime = polled > 0;
        ::close(handle);
    }
    if (!inTime)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return inTime && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

ThumbnailMaker::ThumbnailMaker(std::vector<std::string> thumbnailerFolders,
                               std::chrono::milliseconds timeLimit)
    : m_folders(std::move(thumbnailerFolders)), m_timeLimit(timeLimit) {}

std::vector<std::string> ThumbnailMaker::defaultFolders() {
    std::vector<std::string> folders;
    const char *home = std::getenv("XDG_DATA_HOME");
    const char *user = std::getenv("HOME");
    folders.push_back(home && home[0] == '/' ? std::string(home) + "/thumbnailers"
                                             : std::string(user ? user : "") + "/.local/share/thumbnailers");
    const char *dirs = std::getenv("XDG_DATA_DIRS");
    for (const std::string &dir : splitList(dirs && dirs[0] ? dirs : "/usr/local/share:/usr/share", ':'))
        folders.push_back(dir + "/thumbnailers");
    return folders;
}

void ThumbnailMaker::loadEntries() const {
    std::call_once(m_loaded, [this] {
        std::error_code error;
        for (const std::string &folder : m_folders) {
            std::vector<std::filesystem::path> files;
            for (const auto &item : std::filesystem::directory_iterator(folder, error))
                if (item.path().extension() == ".thumbnailer")
                    files.push_back(item.path());
            std::sort(files.begin(), files.end());
            for (const auto &file : files) {
                std::ifstream in(file);
                std::string exec, tryExec, types;
                for (std::string line; std::getline(in, line);) {
                    if (line.starts_with("Exec="))
                        exec = line.substr(5);
                    else if (line.starts_with("TryExec="))
                        tryExec = line.substr(8);
                    else if (line.starts_with("MimeType="))
                        types = line.substr(9);
                }
                const std::vector<std::string> words = expand(exec, "in", "out", 1);
                if (words.empty() || !executable(tryExec.empty() ? words.front() : tryExec))
                    continue;
                for (const std::string &type : splitList(types, ';'))
                    m_execByType.emplace(type, exec); // the first folder wins
            }
        }
    });
}

bool ThumbnailMaker::hasThumbnailer(const std::string &mimeType) const {
    loadEntries();
    return m_execByType.contains(mimeType);
}

ThumbnailMaker::Result ThumbnailMaker::make(const std::string &path, const std::string &mimeType,
                                            int side) const {
    const QByteArray type = QByteArray::fromStdString(mimeType);
    static const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    if (readable.contains(type))
        return fromImage(path, side);
    loadEntries();
    if (const auto found = m_execByType.find(mimeType); found != m_execByType.end())
        return fromThumbnailer(path, found->second, side);
    return {};
}

ThumbnailMaker::Result ThumbnailMaker::fromImage(const std::string &path, int side) const {
    QImageReader reader(QString::fromLocal8Bit(path.c_str()));
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > side || size.height() > side))
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return {Outcome::failed, {}};
    if (image.width() > side || image.height() > side)
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return {Outcome::made, std::move(image)};
}

ThumbnailMaker::Result ThumbnailMaker::fromThumbnailer(const std::string &path, const std::string &exec,
                                                       int side) const {
    const char *temporary = std::getenv("TMPDIR");
    std::string output = std::string(temporary && temporary[0] ? temporary : "/tmp") + "/.dromel-thumbnail-" +
                         std::string(6, 'X') + ".png";
    const int fd = ::mkstemps(output.data(), 4);
    if (fd < 0)
        return {};
    ::close(fd);
    const bool ran = runBounded(expand(exec, path, output, side), m_timeLimit);
    QImage image;
    if (ran) {
        QImageReader reader(QString::fromLocal8Bit(output.c_str()));
        image = reader.read();
    }
    ::unlink(output.c_str());
    if (image.isNull())
        return {Outcome::failed, {}};
    if (image.width() > side || image.height() > side)
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return {Outcome::made, std::move(image)};
}

} // namespace dromel
