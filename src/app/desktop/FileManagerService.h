#pragma once

#include "browser/BrowserStore.h"
#include "core/Uuid.h"
#include "runtime/Lifetime.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dromel {

class BrowserController;

// The desktop's "show in folder" for other programs: answers the
// org.freedesktop.FileManager1 interface on a D-Bus connection, so a browser's
// "Show in folder" opens a tab here. ShowFolders opens each folder in a tab;
// ShowItems opens each item's folder in a tab and selects the item once it is
// listed; ShowItemProperties does the same and opens the items' properties.
//
// URIs are file URIs whose percent-escapes carry the exact path bytes, so
// names that are not UTF-8 arrive intact; absolute paths are taken too. Other
// schemes, hosts and relative paths are left out; a call where nothing is
// left is answered with an InvalidArgs error, and so is a call of more than
// kMaxItems URIs. A name already owned by another file manager is never taken
// from it (no queueing, no replacement).
//
// Whether a named item is a folder is asked on a queue of its own, never on
// the main thread: a dead network mount holds up only that call's reply.
//
// Main thread only. The store must outlive the service; the window is held
// weakly. Items are selected through the window's list, as a click would.
class FileManagerService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    static constexpr const char *kServiceName = "org.freedesktop.FileManager1";
    static constexpr const char *kObjectPath = "/org/freedesktop/FileManager1";
    static constexpr qsizetype kMaxItems = 10000;

    FileManagerService(QDBusConnection bus, BrowserStore &store, BrowserController &window,
                       QObject *parent = nullptr);
    ~FileManagerService() override;

    // Whether this program owns the service name on the connection.
    bool registered() const { return m_registered; }

    // The path of a file URI or an absolute path, standardized; nothing for
    // anything else.
    static std::optional<std::string> pathFromUri(const QString &uri);

public slots:
    Q_SCRIPTABLE void ShowFolders(const QStringList &uris, const QString &startupId);
    Q_SCRIPTABLE void ShowItems(const QStringList &uris, const QString &startupId);
    Q_SCRIPTABLE void ShowItemProperties(const QStringList &uris, const QString &startupId);

private:
    // Items to select in a tab once its listing shows them.
    struct PendingSelection {
        Uuid tab;
        std::set<std::string> items;
    };

    bool registerOnBus();
    std::vector<std::string> acceptedPaths(const QStringList &uris);
    void showItems(const std::vector<std::string> &items);
    void showFolders(const std::vector<std::string> &paths, const std::vector<bool> &isFile,
                     const QString &startupId);
    void storeChanged();
    void selectInList(const std::set<std::string> &ids);
    void raiseWindow(const QString &startupId);

    QDBusConnection m_bus;
    BrowserStore &m_store;
    QPointer<BrowserController> m_window;
    bool m_registered = false;
    std::vector<PendingSelection> m_pending;
    Lifetime m_lifetime;
};

} // namespace dromel
