#include "directory/DirectoryMonitor.h"

#include "core/Location.h"
#include "runtime/SerialQueue.h"

#include <QtCore/QtGlobal>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace dromel {

namespace {

// IN_MODIFY: a file being written (a download, a log) changes size long
// before it is closed.
constexpr std::uint32_t kItemEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE | IN_MODIFY;
constexpr std::uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;
constexpr std::uint32_t kStructureEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

// How long watch() waits for its watches to be made before it lets them be
// made alone.
constexpr std::chrono::milliseconds kWatchWait{50};

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

    // Watches are added and removed one by one: a folder that stays in the
    // set keeps its watch, so nothing can have been missed for it. Returns
    // the folders new to the set.
    std::set<std::string> watch(const std::set<std::string> &folders) {
        std::set<std::string> normalized;
        for (const std::string &folder : folders)
            normalized.insert(Location::standardized(folder));
        if (normalized == m_urls)
            return {};
        if (normalized.empty()) {
            stop();
            return {};
        }
        std::set<std::string> added;
        for (const std::string &url : normalized)
            if (!m_urls.contains(url))
                added.insert(url);
        for (auto it = m_urls.begin(); it != m_urls.end();) {
            if (normalized.contains(*it)) {
                ++it;
                continue;
            }
            release(*it);
            m_canonical.erase(*it);
            m_pending.erase(*it);
            m_reroot.erase(*it);
            it = m_urls.erase(it);
        }
        for (const std::string &url : added) {
            m_urls.insert(url);
            m_canonical[url] = physicalPath(url);
        }
        if (!m_fallback.active()) {
            bool watching = m_fd >= 0 || startInotify();
            for (auto it = added.begin(); watching && it != added.end(); ++it)
                watching = attach(*it);
            if (!watching)
                startFallback();
        }
        if (m_options.reportNewlyWatched && !added.empty())
            m_onChange(added);
        return added;
    }

    // The caller of watch() stopped waiting before `added` were watched: a
    // read it started meanwhile may have missed a change, so they are
    // reported whatever the options say.
    void reportLate(const std::set<std::string> &added) {
        if (!m_options.reportNewlyWatched && !added.empty())
            m_onChange(added);
    }

    void stop() {
        m_timer.cancel();
        m_fallback.cancel();
        closeInotify();
        m_pending.clear();
        m_reroot.clear();
        m_urls.clear();
        m_canonical.clear();
    }

private:
    struct Watch {
        int wd = -1;
        int users = 0; // watched URLs relying on it
    };

    // The folders inotify watches for `url`: the nearest existing folder of
    // its physical path, and of its parent when parent changes count.
    std::vector<std::string> rootsOf(const std::string &url) const {
        const std::string &physical = m_canonical.at(url);
        std::vector<std::string> roots{nearestExistingFolder(physical)};
        if (m_includeParentChanges && physical != "/") {
            std::string parent = nearestExistingFolder(Location::parent(physical));
            if (parent != roots.front())
                roots.push_back(std::move(parent));
        }
        return roots;
    }

    bool startInotify() {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0)
            return false;
        std::weak_ptr<State> weak = weak_from_this();
        m_readable = m_queue.watchReadable(m_fd, [weak] {
            if (auto state = weak.lock())
                state->readEvents();
        });
        return true;
    }

    void closeInotify() {
        m_readable.cancel();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_watches.clear();
        m_folders.clear();
        m_roots.clear();
    }

    void startFallback() {
        closeInotify();
        qWarning("Dromel: inotify unavailable; using a five-second refresh fallback");
        std::weak_ptr<State> weak = weak_from_this();
        m_fallback = m_queue.every(m_options.fallbackPeriod, [weak] {
            if (auto state = weak.lock())
                state->m_onChange(state->m_urls);
        });
    }

    bool attach(const std::string &url) {
        for (std::string root : rootsOf(url)) {
            if (auto found = m_watches.find(root); found != m_watches.end()) {
                ++found->second.users;
                m_roots[url].push_back(root);
                continue;
            }
            int wd = -1;
            // A folder can vanish between the look and the watch: step upwards.
            for (;;) {
                wd = ::inotify_add_watch(m_fd, root.c_str(), kItemEvents | kSelfEvents | IN_ONLYDIR);
                if (wd >= 0 || (errno != ENOENT && errno != ENOTDIR) || root == "/")
                    break;
                root = nearestExistingFolder(Location::parent(root));
            }
            if (wd < 0)
                return false;
            Watch &watch = m_watches[root];
            watch.wd = wd;
            ++watch.users;
            m_folders.emplace(wd, root);
            m_roots[url].push_back(root);
        }
        return true;
    }

    void release(const std::string &url) {
        const auto roots = m_roots.find(url);
        if (roots == m_roots.end())
            return;
        for (const std::string &root : roots->second) {
            const auto found = m_watches.find(root);
            if (found == m_watches.end() || --found->second.users > 0)
                continue;
            const int wd = found->second.wd;
            m_watches.erase(found);
            // Two paths to one folder share a descriptor: keep it while used.
            const bool shared = std::any_of(m_watches.begin(), m_watches.end(),
                                            [wd](const auto &entry) { return entry.second.wd == wd; });
            if (!shared) {
                ::inotify_rm_watch(m_fd, wd);
                m_folders.erase(wd);
            }
        }
        m_roots.erase(roots);
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
        const std::string directory = folder->second;
        if (event.mask & kSelfEvents) {
            // A watched folder itself moved or vanished: whoever relied on it
            // is reported and watched afresh from where things now are.
            for (const auto &[url, roots] : m_roots)
                if (std::find(roots.begin(), roots.end(), directory) != roots.end()) {
                    m_pending.insert(url);
                    m_reroot.insert(url);
                }
            return;
        }
        const std::string path = event.len > 0 ? Location::appending(directory, event.name) : directory;
        for (const auto &[url, physical] : m_canonical) {
            const bool itself = physical == path;
            const bool below = isInside(physical, path);
            if (itself || physical == directory || below)
                m_pending.insert(url);
            // Something on the way to a watched folder appeared or went away;
            // the nearest existing ancestor may now be another folder.
            if ((itself || below) && (event.mask & kStructureEvents))
                m_reroot.insert(url);
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
        if (!m_reroot.empty() && m_fd >= 0) {
            const std::set<std::string> reroot = std::exchange(m_reroot, {});
            bool watching = true;
            for (const std::string &url : reroot) {
                release(url);
                m_canonical[url] = physicalPath(url);
                watching = watching && attach(url);
            }
            if (!watching)
                startFallback();
        }
        if (!taken.empty())
            m_onChange(taken);
    }

    SerialQueue &m_queue;
    const bool m_includeParentChanges;
    const ChangeHandler m_onChange;
    const Options m_options;
    std::set<std::string> m_urls;
    std::map<std::string, std::string> m_canonical;          // url → physical path
    std::map<std::string, std::vector<std::string>> m_roots; // url → folders watched for it
    std::map<std::string, Watch> m_watches;                  // folder → its watch
    std::map<int, std::string> m_folders;                    // watch descriptor → folder
    std::set<std::string> m_pending;
    std::set<std::string> m_reroot; // urls whose watched folders must be found again
    SerialQueue::Handle m_readable;
    SerialQueue::Handle m_timer;
    SerialQueue::Handle m_fallback;
    int m_fd = -1;
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
    // Normally a hop of microseconds. A folder on a volume that stopped
    // answering holds the queue in path lookups, and the caller (the main
    // thread) must not wait for it: after the bound the watch goes on alone
    // and reports its new folders once they are watched.
    struct Handshake {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        bool abandoned = false;
    };
    auto handshake = std::make_shared<Handshake>();
    m_queue->async([state = m_state, folders = std::move(folders), handshake] {
        const std::set<std::string> added = state->watch(folders);
        bool late = false;
        {
            std::lock_guard lock(handshake->mutex);
            handshake->done = true;
            late = handshake->abandoned;
            handshake->finished.notify_one();
        }
        if (late)
            state->reportLate(added);
    });
    std::unique_lock lock(handshake->mutex);
    if (!handshake->finished.wait_for(lock, kWatchWait, [&] { return handshake->done; }))
        handshake->abandoned = true;
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
