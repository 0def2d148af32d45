#include "directory/MountedVolumeMonitor.h"

#include "directory/DirectoryMonitor.h"
#include "runtime/MainThread.h"
#include "runtime/SerialQueue.h"

#include <libmount/libmount.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dromel {

// libmount's kernel monitor, touched only on the monitor's queue.
class MountedVolumeMonitor::MountTableWatch {
public:
    explicit MountTableWatch(std::function<void()> onChange) : m_onChange(std::move(onChange)) {}
    ~MountTableWatch() { stop(); }

    // Returns false when the kernel's notices cannot be had.
    bool start(SerialQueue &queue, const std::weak_ptr<MountTableWatch> &self) {
        m_monitor = mnt_new_monitor();
        if (!m_monitor || mnt_monitor_enable_kernel(m_monitor, 1) != 0)
            return false;
        const int fd = mnt_monitor_get_fd(m_monitor);
        if (fd < 0)
            return false;
        m_readable = queue.watchReadable(fd, [self] {
            if (auto watch = self.lock())
                watch->drain();
        });
        return true;
    }

    void stop() {
        m_readable.cancel();
        if (m_monitor)
            mnt_unref_monitor(m_monitor);
        m_monitor = nullptr;
    }

private:
    void drain() {
        const char *file = nullptr;
        int type = 0;
        bool changed = false;
        while (mnt_monitor_next_change(m_monitor, &file, &type) == 0)
            changed = true;
        if (changed)
            m_onChange();
    }

    std::function<void()> m_onChange;
    libmnt_monitor *m_monitor = nullptr;
    SerialQueue::Handle m_readable;
};

MountedVolumeMonitor::MountedVolumeMonitor(std::shared_ptr<VolumeReading> reader,
                                           std::optional<std::string> mountDirectory, ChangeHandler onChange)
    : m_reader(std::move(reader)), m_onChange(std::move(onChange)), m_generation(Uuid::random()),
      m_queue(std::make_unique<SerialQueue>(QueueNames::volumeEvents())) {
    MainThread::assertCurrent("MountedVolumeMonitor");
    // Notices from other threads only post a refresh to the main thread.
    auto refreshLater = [alive = m_lifetime.weak(), this] {
        MainThread::post([alive, this] {
            if (!alive.expired())
                refresh();
        });
    };
    m_tableWatch = std::make_shared<MountTableWatch>(refreshLater);
    m_queue->sync([this] {
        if (!m_tableWatch->start(*m_queue, m_tableWatch))
            m_tableWatch->stop();
    });
    if (mountDirectory) {
        m_mountMonitor =
            std::make_unique<DirectoryMonitor>(false, [refreshLater](const std::set<std::string> &) {
                refreshLater();
            });
        m_mountMonitor->watch({*mountDirectory});
    }
    refresh();
}

MountedVolumeMonitor::~MountedVolumeMonitor() {
    m_mountMonitor.reset();
    m_queue->sync([this] { m_tableWatch.reset(); });
}

void MountedVolumeMonitor::refresh() {
    MainThread::assertCurrent("MountedVolumeMonitor");
    m_generation = Uuid::random();
    m_reader->read([alive = m_lifetime.weak(), this, token = m_generation](std::vector<MountedVolume> volumes) {
        if (alive.expired() || m_generation != token)
            return;
        m_onChange(volumes);
    });
}

std::optional<std::string> MountedVolumeMonitor::defaultMountDirectory() {
    std::string user;
    if (const passwd *entry = ::getpwuid(::getuid()))
        user = entry->pw_name;
    if (user.empty())
        return std::nullopt;
    for (const std::string &base : {std::string("/media/"), std::string("/run/media/")}) {
        struct stat info {};
        const std::string candidate = base + user;
        if (::stat(candidate.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            return candidate;
    }
    return std::nullopt;
}

} // namespace dromel
