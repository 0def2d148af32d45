#include "look/ThumbnailLoader.h"

#include "core/FileEntry.h"
#include "look/ThumbnailMaker.h"
#include "runtime/MainThread.h"
#include "runtime/WorkQueue.h"

#include <QFile>
#include <QMimeDatabase>

#include <mutex>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace dromel {

namespace {

constexpr int kParallelJobs = 2;
// Results arriving together repaint the view once.
constexpr int kReadyCoalesceMilliseconds = 40;

QueueConfig thumbnailQueue() {
    return {"Dromel.thumbnails", kParallelJobs, QueuePriority::utility};
}

// Volumes whose files the peers do not thumbnail by default: reading whole
// files over the network to draw an icon costs more than it gives.
bool onNetworkVolume(const std::string &path) {
    struct statfs volume {};
    if (::statfs(path.c_str(), &volume) != 0)
        return false;
    switch (static_cast<unsigned long>(volume.f_type)) {
    case 0x6969UL:     // NFS
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x517BUL:     // SMB
    case 0x65735546UL: // FUSE (sshfs, gvfs, rclone …)
    case 0x564C:       // NCP
    case 0x73757245UL: // Coda
    case 0x5346414FUL: // AFS
    case 0x01021997UL: // 9P
        return true;
    default:
        return false;
    }
}

std::string mimeTypeByName(const std::string &path) {
    // QMimeDatabase locks on its own futex, which ThreadSanitizer cannot see.
    static std::mutex database;
    std::lock_guard lock(database);
    return QMimeDatabase()
        .mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(path)), QMimeDatabase::MatchExtension)
        .name()
        .toStdString();
}

struct JobResult {
    QImage image;
    bool noPicture = true;
};

JobResult makeOne(const std::string &path, int side, std::int64_t maximumFileSize, bool networkVolumes,
                  const ThumbnailCache &cache, const ThumbnailMaker &maker) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > maximumFileSize)
        return {};
    // The cache's own pictures are never thumbnailed.
    if (path.starts_with(cache.root() + "/"))
        return {};
    if (!networkVolumes && onNetworkVolume(path))
        return {};
    const ThumbnailCache::Source source{path, static_cast<std::int64_t>(status.st_mtim.tv_sec),
                                        static_cast<std::int64_t>(status.st_size)};
    const ThumbnailCache::Flavour flavour = ThumbnailCache::flavourFor(side);
    QImage image = cache.find(source, flavour);
    if (image.isNull()) {
        if (cache.hasFailed(source))
            return {};
        const std::string type = mimeTypeByName(path);
        ThumbnailMaker::Result made = maker.make(path, type, ThumbnailCache::side(flavour));
        if (made.outcome == ThumbnailMaker::Outcome::failed)
            (void)cache.recordFailure(source);
        if (made.outcome != ThumbnailMaker::Outcome::made)
            return {};
        (void)cache.store(source, flavour, made.image, type);
        image = std::move(made.image);
    }
    if (image.width() > side || image.height() > side)
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return {std::move(image), false};
}

std::string keyOf(const FileEntry &entry) {
    const auto modified = entry.modified();
    return entry.url() + '\0' + std::to_string(modified ? modified->time_since_epoch().count() : 0) + '\0' +
           std::to_string(entry.size().value_or(-1));
}

} // namespace

ThumbnailLoader::ThumbnailLoader(int side, ThumbnailCache cache, QObject *parent)
    : QObject(parent), m_side(side), m_cache(std::make_shared<const ThumbnailCache>(std::move(cache))),
      m_maker(std::make_shared<const ThumbnailMaker>()),
      m_queue(std::make_unique<WorkQueue>(thumbnailQueue())), m_pictures(kMemoryKilobytes) {
    m_readyTimer.setSingleShot(true);
    m_readyTimer.setInterval(kReadyCoalesceMilliseconds);
    connect(&m_readyTimer, &QTimer::timeout, this, &ThumbnailLoader::ready);
}

// The queue waits for running jobs; their results are then dropped by the
// lifetime guard.
ThumbnailLoader::~ThumbnailLoader() = default;

QPixmap ThumbnailLoader::thumbnail(const FileEntry &entry) {
    if (!m_enabled || entry.isDirectory() || entry.size().value_or(0) > maximumFileSize)
        return {};
    const std::string key = keyOf(entry);
    if (const Picture *picture = m_pictures.object(QByteArray::fromStdString(key)))
        return picture->pixmap;
    if (m_without.contains(key) || m_asked.contains(key))
        return {};
    m_asked.insert(key);
    m_pending.push_front({entry.url(), key});
    startMore();
    return {};
}

void ThumbnailLoader::keepOnly(const std::unordered_set<std::string> &paths) {
    std::erase_if(m_pending, [&](const Request &request) {
        if (paths.contains(request.path))
            return false;
        m_asked.erase(request.key);
        return true;
    });
}

void ThumbnailLoader::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) {
        for (const Request &request : m_pending)
            m_asked.erase(request.key);
        m_pending.clear();
    }
    emit ready();
}

void ThumbnailLoader::setLimits(std::int64_t maximum, bool network) {
    if (maximum == maximumFileSize && network == networkVolumes)
        return;
    maximumFileSize = maximum;
    networkVolumes = network;
    // Failures are kept in the cache's fail/ folder, so asking again costs
    // them a lookup only.
    m_without.clear();
    emit ready();
}

void ThumbnailLoader::setSide(int pixels) {
    const int side = ThumbnailCache::side(ThumbnailCache::flavourFor(pixels));
    if (side == m_side)
        return;
    m_side = side;
    m_pictures.clear();
    for (const Request &request : m_pending)
        m_asked.erase(request.key);
    m_pending.clear();
    emit ready();
}

void ThumbnailLoader::startMore() {
    while (m_running < kParallelJobs && !m_pending.empty()) {
        Request request = std::move(m_pending.front());
        m_pending.pop_front();
        ++m_running;
        m_queue->async([path = std::move(request.path), key = std::move(request.key), side = m_side,
                        maximum = maximumFileSize, network = networkVolumes, cache = m_cache, maker = m_maker,
                        alive = m_lifetime.weak(), self = this] {
            JobResult result = makeOne(path, side, maximum, network, *cache, *maker);
            MainThread::post([alive, self, key, side, result = std::move(result)] {
                if (!alive.expired())
                    self->finished(key, result.image, result.noPicture, side);
            });
        });
    }
}

void ThumbnailLoader::finished(const std::string &key, const QImage &image, bool noPicture, int side) {
    --m_running;
    m_asked.erase(key);
    if (side != m_side) {
        // Made for the size before: the repaint asks at the new one.
        emit ready();
    } else if (noPicture) {
        m_without.insert(key);
    } else {
        auto *picture = new Picture{QPixmap::fromImage(image)};
        const qsizetype kilobytes = std::max<qsizetype>(1, image.sizeInBytes() / 1024);
        m_pictures.insert(QByteArray::fromStdString(key), picture, kilobytes);
        if (!m_readyTimer.isActive())
            m_readyTimer.start();
    }
    startMore();
}

} // namespace dromel
