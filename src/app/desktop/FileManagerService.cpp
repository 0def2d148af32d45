#include "desktop/FileManagerService.h"

#include "core/Location.h"
#include "desktop/DesktopInspection.h"
#include "runtime/MainThread.h"
#include "runtime/WorkQueue.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/BrowserController.h"
#include "window/DesktopCommands.h"

#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QWidget>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace dromel {

namespace {} // namespace

FileManagerService::FileManagerService(QDBusConnection bus, BrowserStore &store, BrowserController &window,
                                       QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_store(store), m_window(&window) {
    // The window renders every change first; selections wait for listings.
    m_store.onChange = [previous = m_store.onChange, alive = m_lifetime.weak(),
                        this](BrowserStore::Change change) {
        if (previous)
            previous(change);
        if (!alive.expired())
            storeChanged();
    };
    m_registered = registerOnBus();
}

FileManagerService::~FileManagerService() {
    if (!m_registered || !m_bus.isConnected())
        return;
    m_bus.unregisterObject(kObjectPath);
    m_bus.unregisterService(kServiceName);
}

bool FileManagerService::registerOnBus() {
    if (!m_bus.isConnected() || !m_bus.interface())
        return false;
    if (!m_bus.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots)) {
        std::fprintf(stderr, "Dromel: %s could not be offered: %s\n", kServiceName,
                     qPrintable(m_bus.lastError().message()));
        return false;
    }
    // Another file manager that runs keeps its name: the desktop chose it.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(kServiceName, QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return true;
    m_bus.unregisterObject(kObjectPath);
    std::fprintf(stderr, "Dromel: %s is provided by another program\n", kServiceName);
    return false;
}

std::optional<std::string> FileManagerService::pathFromUri(const QString &uri) {
    const std::string text = uri.toStdString();
    if (Location::isAbsolute(text)) {
        if (text.find('\0') != std::string::npos)
            return std::nullopt;
        return Location::standardized(text);
    }
    return Location::pathFromFileURL(text);
}

std::vector<std::string> FileManagerService::acceptedPaths(const QStringList &uris) {
    std::vector<std::string> paths;
    if (uris.size() > kMaxItems) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs,
                           QStringLiteral("at most %1 URIs in one call").arg(kMaxItems));
        return paths;
    }
    paths.reserve(size_t(uris.size()));
    for (const QString &uri : uris)
        if (auto path = pathFromUri(uri))
            paths.push_back(std::move(*path));
    if (paths.empty() && calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no local file URI among the arguments"));
    return paths;
}

void FileManagerService::ShowFolders(const QStringList &uris, const QString &startupId) {
    std::vector<std::string> paths = acceptedPaths(uris);
    if (paths.empty())
        return;
    // The reply waits for the stats, which run off the main thread.
    std::optional<QDBusMessage> call;
    if (calledFromDBus()) {
        setDelayedReply(true);
        call = message();
    }
    auto shown = m_lifetime.guard(
        [this, call, startupId](const std::vector<std::string> &stated, const std::vector<bool> &isFile) {
            showFolders(stated, isFile, startupId);
            if (call)
                m_bus.send(call->createReply());
        });
    desktopInspection().async([paths = std::move(paths), shown = std::move(shown)]() mutable {
        std::vector<bool> isFile;
        isFile.reserve(paths.size());
        for (const std::string &path : paths) {
            struct stat info {};
            isFile.push_back(::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode));
        }
        MainThread::post([paths = std::move(paths), isFile = std::move(isFile),
                          shown = std::move(shown)]() mutable { shown(paths, isFile); });
    });
}

void FileManagerService::showFolders(const std::vector<std::string> &paths, const std::vector<bool> &isFile,
                                     const QString &startupId) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (isFile[i])
            items.push_back(paths[i]); // a file's folder is shown with the file selected
        else
            m_store.addTab(paths[i]); // a missing folder shows its error in the tab
    }
    showItems(items);
    raiseWindow(startupId);
}

void FileManagerService::ShowItems(const QStringList &uris, const QString &startupId) {
    const std::vector<std::string> items = acceptedPaths(uris);
    showItems(items);
    if (!items.empty())
        raiseWindow(startupId);
}

void FileManagerService::ShowItemProperties(const QStringList &uris, const QString &startupId) {
    const std::vector<std::string> items = acceptedPaths(uris);
    showItems(items);
    if (items.empty())
        return;
    raiseWindow(startupId);
    if (m_window)
        m_window->desktopCommands().showProperties(items);
}

// One tab per holding folder, in the order the items came; the items of a
// folder are selected together once its listing shows them.
void FileManagerService::showItems(const std::vector<std::string> &items) {
    std::vector<std::pair<std::string, std::set<std::string>>> folders;
    std::unordered_map<std::string, std::size_t> folderIndex;
    for (const std::string &item : items) {
        if (item == "/") {
            folders.push_back({item, {}});
            continue;
        }
        std::string folder = Location::parent(item);
        const auto [found, added] = folderIndex.try_emplace(folder, folders.size());
        if (added)
            folders.push_back({std::move(folder), {item}});
        else
            folders[found->second].second.insert(item);
    }
    for (auto &[folder, selection] : folders) {
        const Uuid before = m_store.activeID();
        m_store.addTab(folder);
        if (m_store.activeID() == before || selection.empty())
            continue; // refused (too many tabs) or nothing to select
        m_pending.push_back(PendingSelection{m_store.activeID(), std::move(selection)});
        storeChanged();
    }
}

// A pending selection is applied when its tab is active and either shows all
// its items or has finished loading and ordering (then whatever is listed is
// selected).
void FileManagerService::storeChanged() {
    std::erase_if(m_pending, [&](const PendingSelection &entry) {
        return std::none_of(m_store.tabs().begin(), m_store.tabs().end(),
                            [&](const BrowserTab &tab) { return tab.id == entry.tab; });
    });
    const auto pending = std::find_if(m_pending.begin(), m_pending.end(), [&](const PendingSelection &entry) {
        return entry.tab == m_store.activeID();
    });
    if (pending == m_pending.end())
        return;
    const BrowserTab &tab = m_store.current();
    std::set<std::string> ids;
    for (const FileEntry &entry : tab.visibleEntries())
        if (pending->items.count(entry.url()))
            ids.insert(entry.id());
    if (ids.size() < pending->items.size() && (tab.loading || tab.arranging))
        return;
    m_pending.erase(pending);
    if (!ids.empty())
        selectInList(ids);
}

// The list tells the store, as for a click; the window has rendered this
// change before this observer runs, so its rows are the tab's.
void FileManagerService::selectInList(const std::set<std::string> &ids) {
    FileTable *table = m_window ? m_window->table() : nullptr;
    if (!table)
        return;
    const FileTableModel &model = table->fileModel();
    QItemSelection selection;
    QModelIndex first;
    for (int row = 0; row < model.rowCount(); ++row) {
        const FileEntry *entry = model.entryAt(row);
        if (!entry || !ids.count(entry->id()))
            continue;
        if (!first.isValid())
            first = model.index(row, 0);
        selection.select(model.index(row, 0), model.index(row, FileTableModel::kColumns - 1));
    }
    if (!first.isValid())
        return;
    table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    table->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    table->scrollTo(first);
}

void FileManagerService::raiseWindow(const QString &startupId) {
    QWidget *window = m_window ? m_window->window() : nullptr;
    if (!window)
        return;
    // Wayland lets a window take the focus only with the caller's token.
    if (!startupId.isEmpty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        qputenv("XDG_ACTIVATION_TOKEN", startupId.toUtf8());
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

} // namespace dromel
