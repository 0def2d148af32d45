#pragma once

#include "runtime/Lifetime.h"
#include "runtime/WorkQueue.h"
#include "table/ListCommand.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace dromel {

class ApplicationLauncher;
class BrowserController;
class BrowserStore;
class ItemOpener;

// The window's commands that meet the desktop: opening with an application,
// Open With, the terminal, Copy To and Move To, New Document from the user's
// templates, Sort By and hidden items from the menu. Reads of the disk
// (templates, the terminal's lookup, the application database) run off the
// main thread; their answers fill menus or start programs later. Main thread
// only; owned by the window.
class DesktopCommands : public QObject {
    Q_OBJECT
public:
    using Environment = std::function<std::optional<std::string>(const char *name)>;

    DesktopCommands(BrowserController &window, BrowserStore &store);
    ~DesktopCommands() override;

    bool handles(ListCommand command) const;
    void run(ListCommand command);
    // Fills a context-menu submenu (ListCommand::openWith, newDocument, sortBy).
    void fill(ListCommand command, QMenu *menu);

    // Opens items that are not folders with their applications.
    void open(std::vector<std::string> paths);
    void openInTerminal();
    // The free space of the folder's volume, for the status line.
    void freeSpace(const std::string &folder, std::function<void(const std::string &, std::int64_t)> done);
    // The properties window for the selection, or for the folder without one.
    void showProperties();
    void showProperties(std::vector<std::string> paths);

    ApplicationLauncher &launcher() const { return *m_launcher; }
    ItemOpener &opener() const { return *m_opener; }
    QAction *terminalAction() const { return m_terminalAction; }
    // The environment the terminal is chosen from (the process's by default).
    void setEnvironmentForTesting(Environment environment) { m_environment = std::move(environment); }
    bool waitForIdleForTesting(int timeoutMilliseconds);

private:
    void fillOpenWith(QMenu *menu);
    void fillNewDocument(QMenu *menu);
    void fillSortBy(QMenu *menu);
    void chooseFolder(bool move);
    void failed(const std::string &path, const std::string &error);
    std::vector<std::string> selectedPaths() const;

    BrowserController &m_window;
    BrowserStore &m_store;
    ApplicationLauncher *m_launcher;
    ItemOpener *m_opener;
    QAction *m_terminalAction;
    QAction *m_propertiesAction;
    Environment m_environment;
    WorkQueue m_queue;
    Lifetime m_lifetime;
};

} // namespace dromel
