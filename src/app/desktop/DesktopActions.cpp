#include "desktop/DesktopActions.h"

#include "core/Location.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

namespace dromel {

DesktopActions::DesktopActions(QObject *parent)
    : QObject(parent), m_opener([](const QUrl &url) { return QDesktopServices::openUrl(url); }) {}

QUrl DesktopActions::fileUrl(const std::string &path) {
    return QUrl::fromEncoded(QByteArray::fromStdString(Location::fileURL(path, false)), QUrl::StrictMode);
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
