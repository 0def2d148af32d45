#pragma once

#include "look/ThumbnailCache.h"
#include "runtime/Lifetime.h"

#include <QCache>
#include <QObject>
#include <QPixmap>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>

namespace dromel {

class FileEntry;
class ThumbnailMaker;
class WorkQueue;

// Thumbnails for the rows a view paints. A view asks while painting; the
// first ask queues the item and returns nothing, and `ready` follows (a few
// results at a time) once its picture is in memory. The background work looks
// in the shared cache first, else makes a picture and stores it there (or
// records the failure). Items are made newest ask first, two at a time; those
// the view no longer shows are dropped before they start (keepOnly).
//
// Files larger than `maximumFileSize` and files on network volumes (unless
// `networkVolumes`) keep their type icon, as the peers do.
//
// Main thread only; jobs never touch it and their results are dropped once
// it is gone.
class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    static constexpr std::int64_t kDefaultMaximumFileSize = 64LL * 1024 * 1024;
    static constexpr int kMemoryKilobytes = 96 * 1024;

    explicit ThumbnailLoader(int side, ThumbnailCache cache = ThumbnailCache(), QObject *parent = nullptr);
    ~ThumbnailLoader() override;

    // The picture of the entry if it is in memory; otherwise null, and the
    // entry is asked for unless it failed before or cannot have one.
    QPixmap thumbnail(const FileEntry &entry);
    // Drops queued items whose path (bytes) is not in `paths`.
    void keepOnly(const std::unordered_set<std::string> &paths);
    void setEnabled(bool enabled);
    // Items left without a picture under the old limits are asked again, and
    // the views repaint.
    void setLimits(std::int64_t maximumFileSize, bool networkVolumes);
    // Pictures of at least `pixels` a side: the standard's flavour side that
    // holds them (128, 256, 512 or 1024). A new flavour drops the pictures in
    // memory and those on their way, and the views repaint to ask again.
    void setSide(int pixels);
    bool isEnabled() const { return m_enabled; }
    int side() const { return m_side; }
    int pendingCount() const { return static_cast<int>(m_pending.size()) + m_running; }

    std::int64_t maximumFileSize = kDefaultMaximumFileSize;
    bool networkVolumes = false;

signals:
    void ready();

private:
    struct Request {
        std::string path;
        std::string key;
    };
    struct Picture {
        QPixmap pixmap;
    };
    void startMore();
    void finished(const std::string &key, const QImage &image, bool noPicture, int side);

    int m_side;
    const std::shared_ptr<const ThumbnailCache> m_cache;
    const std::shared_ptr<const ThumbnailMaker> m_maker;
    std::unique_ptr<WorkQueue> m_queue;
    bool m_enabled = true;
    QCache<QByteArray, Picture> m_pictures;
    // Keys (path, time, size) with no picture: failed, unsupported, skipped.
    std::unordered_set<std::string> m_without;
    std::unordered_set<std::string> m_asked;
    std::deque<Request> m_pending;
    int m_running = 0;
    QTimer m_readyTimer;
    Lifetime m_lifetime;
};

} // namespace dromel
