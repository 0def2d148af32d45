#include "desktop/DesktopActions.h"

#include "core/Location.h"
#include "runtime/MainThread.h"
#include "runtime/QueueNames.h"
#include "runtime/WorkQueue.h"
#include "shell/detail/ApplicationDatabase.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPointer>
#include <QUrl>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace dromel {

namespace {

constexpr int kSniffBytes = 4096;

// The first bytes of a regular file, without waiting on a fifo or a device.
QByteArray firstBytes(const std::string &path) {
    QByteArray data;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return data;
    data.resize(kSniffBytes);
    const ssize_t count = ::read(fd, data.data(), kSniffBytes);
    ::close(fd);
    data.resize(count > 0 ? qsizetype(count) : 0);
    return data;
}

// Never destroyed: a read stuck on a dead mount must not hold up the exit.
WorkQueue &inspection() {
    static WorkQueue *queue = new WorkQueue(QueueNames::desktopInspection());
    return *queue;
}

} // namespace

DesktopActions::DesktopActions(QObject *parent)
    : QObject(parent), m_opener([](const QUrl &url) { return QDesktopServices::openUrl(url); }) {}

bool DesktopActions::applicationOpens(const std::string &path) {
    const std::string name = Location::lastComponent(path);
    const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(
        QString::fromUtf8(name.data(), qsizetype(name.size())), firstBytes(path));
    if (ApplicationDatabase::opens(type.name().toStdString()))
        return true;
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.begin(), ancestors.end(), [](const QString &ancestor) {
        return ApplicationDatabase::opens(ancestor.toStdString());
    });
}

QUrl DesktopActions::fileUrl(const std::string &path) {
    return QUrl::fromEncoded(QByteArray::fromStdString(Location::fileURL(path, false)), QUrl::StrictMode);
}

void DesktopActions::open(const std::string &path, Failure failed) {
    auto opened = m_lifetime.guard([this, path, failed](bool known) {
        if (!known) {
            if (failed)
                failed(path, OpenFailure::noApplication);
        } else if (!m_opener(fileUrl(path)) && failed) {
            failed(path, OpenFailure::notStarted);
        }
    });
    inspection().async([path, opened = std::move(opened)]() mutable {
        const bool known = applicationOpens(path);
        MainThread::post([opened = std::move(opened), known]() mutable { opened(known); });
    });
}

void DesktopActions::openFolder(const std::string &folder) {
    m_opener(fileUrl(folder));
}

void DesktopActions::reveal(const std::vector<std::string> &items, const std::string &folder) {
    const std::string fallback = items.empty() ? folder : Location::parent(items.front());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_useFileManagerService || !bus.isConnected()) {
        openFolder(fallback);
        return;
    }
    QStringList uris;
    for (const std::string &item : items.empty() ? std::vector{folder} : items)
        uris << QString::fromLatin1(Location::fileURL(item, false));
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                       "org.freedesktop.FileManager1", "ShowItems");
    call << uris << QString();
    // Asynchronous: activating a file manager can take a while and must not
    // freeze the window. A missing service answers with an error reply.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    QPointer<DesktopActions> self(this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [self, watcher, fallback] {
        watcher->deleteLater();
        if (self && watcher->isError())
            self->openFolder(fallback);
    });
}

void DesktopActions::copyPaths(const std::vector<std::string> &paths) {
    std::string joined;
    for (const std::string &path : paths) {
        if (!joined.empty())
            joined += '\n';
        joined += path;
    }
    auto *data = new QMimeData;
    data->setText(QString::fromUtf8(joined));
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace dromel
