#include "directory/DirectoryMonitor.h"

#include "core/Location.h"
#include "runtime/SerialQueue.h"

#include <QtCore/QtGlobal>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <vector>

namespace dromel {

namespace {

constexpr std::uint32_t kItemEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE;
constexpr std::uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;
constexpr std::uint32_t kStructureEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

bool isInside(const std::string &path, const std::string &ancestor) {
    if (ancestor == "/")
        return path != "/";
    return path.size() > ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0 &&
           path[ancestor.size()] == '/';
}

bool isFolder(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder inotify can watch for `path`: itself, or its nearest existing ancestor.
std::string nearestExistingFolder(std::string path) {
    while (path != "/" && !isFolder(path))
        path = Location::parent(path);
    return path;
}

} // namespace

class DirectoryMonitor::State : public std::enable_shared_from_this<State> {
public:
    State(SerialQueue &queue, bool includeParentChanges, ChangeHandler onChange, Options options)
        : m_queue(queue), m_includeParentChanges(includeParentChanges), m_onChange(std::move(onChange)),
          m_options(options) {}
    ~State() { stop(); }

    void watch(const std::set<std::string> &folders, bool force) {
        std::set<std::string> normalized;
        for (const std::string &folder : folders)
            normalized.insert(Location::standardized(folder));
        if (!force && normalized == m_urls)
            return;
        stop();
        m_urls = std::move(normalized);
        if (m_urls.empty())
            return;
        for (const std::string &url : m_urls)
            m_canonical[url] = physicalPath(url);
        if (!startInotify()) {
            qWarning("Dromel: inotify unavailable; using a five-second refresh fallback");
            std::weak_ptr<State> weak = weak_from_this();
            m_fallback = m_queue.every(m_options.fallbackPeriod, [weak] {
                if (auto state = weak.lock())
                    state->m_onChange(state->m_urls);
            });
        }
        m_onChange(m_urls);
    }

    void stop() {
        m_timer.cancel();
        m_fallback.cancel();
        m_readable.cancel();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_folders.clear();
        m_pending.clear();
        m_urls.clear();
        m_canonical.clear();
        m_rebuild = false;
    }

private:
    std::set<std::string> roots() const {
        std::set<std::string> result;
        for (const auto &[url, physical] : m_canonical) {
            result.insert(nearestExistingFolder(physical));
            if (m_includeParentChanges && physical != "/")
                result.insert(nearestExistingFolder(Location::parent(physical)));
        }
        return result;
    }

    bool startInotify() {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0)
            return false;
        for (std::string root : roots()) {
            int wd = -1;
            // A folder can vanish between the look and the watch: step upwards.
            for (;;) {
                wd = ::inotify_add_watch(m_fd, root.c_str(), kItemEvents | kSelfEvents | IN_ONLYDIR);
                if (wd >= 0 || (errno != ENOENT && errno != ENOTDIR) || root == "/")
                    break;
                root = nearestExistingFolder(Location::parent(root));
            }
            if (wd < 0) {
                ::close(m_fd);
                m_fd = -1;
                m_folders.clear();
                return false;
            }
            m_folders[wd] = root;
        }
        std::weak_ptr<State> weak = weak_from_this();
        m_readable = m_queue.watchReadable(m_fd, [weak] {
            if (auto state = weak.lock())
                state->readEvents();
        });
        return true;
    }

    void readEvents() {
        alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
        for (;;) {
            const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
            if (length <= 0)
                break;
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                handle(*event);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        scheduleDelivery();
    }

    void handle(const inotify_event &event) {
        if (event.mask & IN_Q_OVERFLOW) {
            m_pending.insert(m_urls.begin(), m_urls.end());
            return;
        }
        const auto folder = m_folders.find(event.wd);
        if (folder == m_folders.end())
            return;
        if (event.mask & kSelfEvents) {
            // The watched folder itself moved or vanished: watch afresh.
            m_rebuild = true;
            m_pending.insert(m_urls.begin(), m_urls.end());
            return;
        }
        const std::string &directory = folder->second;
        const std::string path = event.len > 0 ? Location::appending(directory, event.name) : directory;
        for (const auto &[url, physical] : m_canonical) {
            const bool itself = physical == path;
            const bool below = isInside(physical, path);
            if (itself || physical == directory || below)
                m_pending.insert(url);
            // Something on the way to a watched folder appeared or went away;
            // the nearest existing ancestor may now be another folder.
            if ((itself || below) && (event.mask & kStructureEvents))
                m_rebuild = true;
        }
    }

    void scheduleDelivery() {
        if (m_pending.empty() || m_timer.active())
            return;
        std::weak_ptr<State> weak = weak_from_this();
        m_timer = m_queue.after(m_options.coalescing, [weak] {
            if (auto state = weak.lock())
                state->deliver();
        });
    }

    void deliver() {
        std::set<std::string> taken;
        taken.swap(m_pending);
        m_timer = {};
        if (m_rebuild) {
            const std::set<std::string> urls = m_urls;
            watch(urls, true);
            return;
        }
        if (!taken.empty())
            m_onChange(taken);
    }

    SerialQueue &m_queue;
    const bool m_includeParentChanges;
    const ChangeHandler m_onChange;
    const Options m_options;
    std::set<std::string> m_urls;
    std::map<std::string, std::string> m_canonical; // url → physical path
    std::map<int, std::string> m_folders;           // watch descriptor → folder
    std::set<std::string> m_pending;
    SerialQueue::Handle m_readable;
    SerialQueue::Handle m_timer;
    SerialQueue::Handle m_fallback;
    int m_fd = -1;
    bool m_rebuild = false;
};

DirectoryMonitor::DirectoryMonitor(bool includeParentChanges, ChangeHandler onChange)
    : DirectoryMonitor(includeParentChanges, std::move(onChange), Options{}) {}

DirectoryMonitor::DirectoryMonitor(bool includeParentChanges, ChangeHandler onChange, Options options)
    : m_queue(std::make_unique<SerialQueue>(QueueNames::directoryEvents())),
      m_state(std::make_shared<State>(*m_queue, includeParentChanges, std::move(onChange), options)) {}

DirectoryMonitor::~DirectoryMonitor() {
    // The state is released on its queue, where its handles live.
    m_queue->sync([this] { m_state.reset(); });
}

void DirectoryMonitor::watch(std::set<std::string> folders) {
    std::weak_ptr<State> weak = m_state;
    m_queue->async([weak, folders = std::move(folders)] {
        if (auto state = weak.lock())
            state->watch(folders, false);
    });
}

void DirectoryMonitor::stop() {
    watch({});
}

std::string DirectoryMonitor::physicalPath(const std::string &path) {
    std::string prefix = Location::standardized(path);
    std::vector<std::string> tail;
    for (;;) {
        if (char *resolved = ::realpath(prefix.c_str(), nullptr)) {
            std::string result(resolved);
            std::free(resolved);
            for (auto it = tail.rbegin(); it != tail.rend(); ++it)
                result = Location::appending(result, *it);
            return result;
        }
        if (prefix == "/")
            return Location::standardized(path);
        tail.push_back(Location::lastComponent(prefix));
        prefix = Location::parent(prefix);
    }
}

} // namespace dromel
