#pragma once

#include "browser/BrowserStore.h"
#include "core/TabSession.h"
#include "core/Uuid.h"
#include "table/ListCommand.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;
class QVBoxLayout;

namespace dromel {

class DesktopActions;
class DesktopCommands;
class DirectorySidebar;
class FileCommandController;
class FileIconView;
class FileTable;
class Icons;
class ListingOrderer;
class LocalDirectoryReader;
class PathBar;
class SearchBar;
class SearchController;
class TabStrip;
class ThumbnailLoader;

// The main window's content: a splitter with the sidebar pane and the content
// area (error row, file list, empty label, status line), and the toolbar
// (navigation, tab strip, path bar, filter, tools). It renders the store on
// every change notice and turns clicks, menu commands and keys into store
// intents and desktop actions. It keeps no copy of what the store knows
// beyond what is on screen. Main thread only.
class BrowserController : public QWidget {
    Q_OBJECT
public:
    // The commands the menus and keys reach; owned by the controller.
    struct Actions {
        QAction *newTab, *closeTab, *reopenTab, *open, *openInNewTab, *preview, *reveal;
        // File commands: disabled until the file commands exist.
        QAction *newFolder, *rename, *trash, *operations;
        // Edit commands act on the focused text field, else on the list.
        QAction *undo, *redo, *cut, *copy, *paste, *selectAll, *copyPath;
        QAction *back, *forward, *up, *editPath, *focusFilter, *refresh, *toggleHidden;
        QAction *preferences;
        // The list or the icon view (Ctrl+1, Ctrl+2), per tab.
        QAction *viewAsList, *viewAsIcons;
        QAction *search, *openContainingFolder;
    };

    // `root` is the base folder the sidebar's tree starts at.
    BrowserController(BrowserStore &store, std::string root, QWidget *parent = nullptr);
    ~BrowserController() override;

    // Builds the toolbar into `window` and adds the actions to it, so their
    // shortcuts work while the window is active.
    void installToolbar(QMainWindow *window);
    // Places the sidebar widget in the left pane (taking ownership).
    void setSidebar(QWidget *sidebar);
    const std::string &root() const { return m_root; }

    const Actions &actions() const { return m_actions; }
    // The file commands, once attached (commands/FileCommandsBinding).
    FileCommandController *fileCommands() const { return m_fileCommands; }
    void setFileCommands(FileCommandController *commands);
    // Places a row of notices (the file commands' task banner) above the list.
    void addBanner(QWidget *banner);
    FileTable *table() const { return m_table; }
    FileIconView *iconView() const { return m_iconView; }
    bool showsIcons() const;
    void setShowsIcons(bool icons);
    DesktopActions &desktop() const { return *m_desktop; }
    // Opening with applications, the terminal, Copy To/Move To, New Document.
    DesktopCommands &desktopCommands() const { return *m_desktopCommands; }
    // Opens the settings window (set by the application).
    std::function<void()> onPreferences;
    // Hidden items were toggled from the window (the settings window follows).
    std::function<void(bool)> onHiddenToggled;

    // The window-wide keys that are not menu shortcuts; true when handled.
    bool globalKey(QKeyEvent *event);

    // Views, for the application and for tests.
    PathBar *pathBar() const { return m_pathBar; }
    TabStrip *tabStrip() const { return m_tabStrip; }
    // The row that holds the tabs; shown with two tabs or more, or always.
    QWidget *tabRow() const { return m_tabRow; }
    void setAlwaysShowTabs(bool always);
    // Thumbnails in both views: off, or for files up to `maximumFileSize`
    // bytes, on network volumes only when `networkVolumes`.
    void setThumbnailPolicy(bool enabled, std::int64_t maximumFileSize, bool networkVolumes);
    ThumbnailLoader &listThumbnails() const { return *m_thumbnails; }
    ThumbnailLoader &iconThumbnails() const { return *m_iconThumbnails; }
    QLineEdit *filterField() const { return m_filter; }
    QLabel *statusLabel() const { return m_status; }
    QWidget *errorRow() const { return m_errorRow; }
    QLabel *errorLabel() const { return m_errorLabel; }
    QLabel *emptyLabel() const { return m_emptyLabel; }
    QProgressBar *busyIndicator() const { return m_spinner; }
    QSplitter *splitter() const { return m_splitter; }
    QWidget *sidebarPane() const { return m_sidebarPane; }
    DirectorySidebar *directorySidebar() const { return m_directorySidebar; }
    QToolBar *toolbar() const { return m_toolbar; }
    QToolButton *moreButton() const { return m_moreButton; }

signals:
    // The active tab's place changed (another folder, the Trash, another tab).
    void locationShown();

public slots:
    void newTab();
    void closeTab();
    // Opens the most recently closed tab again, with its history.
    void reopenClosedTab();
    void openSelected();
    void openInNewTab();
    void preview();
    void revealInFinder();
    void copyPath();
    void back();
    void forward();
    void up();
    void refresh();
    void editPath();
    void focusFilter();
    void beginSearch();
    void toggleHidden();
    void dismissError();
    void preferences();
    void selectAllFiles();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildActions();
    void buildContent();
    void buildSidebar();
    void connectTable();
    QToolButton *toolButton(QAction *action);
    void applySymbols();
    void updateEditActions();

    void render(BrowserStore::Change change);
    void renderStatus(const BrowserTab &tab);
    void askFreeSpace(const BrowserTab &tab);
    void renderError(const BrowserTab &tab);
    void renderContent(const BrowserTab &tab);
    // Shows the list or the icon view, at the zoom, the active tab keeps.
    void applyView(const BrowserTab &tab);
    void adaptToWidth();

    void runCommand(ListCommand command);
    static bool canRun(ListCommand command);
    void showMoreMenu();
    // Closes a tab, remembering it for reopenClosedTab.
    void closeTabRemembered(Uuid id);
    void showTabMenu(Uuid id, QPoint at);
    void pathSubmitted(const QString &text);
    void closePathEditor();
    bool hasTextFocus() const;
    QLineEdit *focusedLineEdit() const;
    std::vector<std::string> selectedPaths() const;

    BrowserStore &m_store;
    FileCommandController *m_fileCommands = nullptr;
    std::string m_root;
    Actions m_actions{};
    DesktopActions *m_desktop;
    DesktopCommands *m_desktopCommands = nullptr;
    // The free space of the shown folder's volume, once known: folder, bytes.
    std::optional<std::pair<std::string, std::int64_t>> m_freeSpace;
    std::unique_ptr<Icons> m_icons;
    std::unique_ptr<ThumbnailLoader> m_thumbnails;
    std::unique_ptr<ThumbnailLoader> m_iconThumbnails;
    // The sidebar reads and orders on services of its own; they outlive it.
    std::unique_ptr<LocalDirectoryReader> m_sidebarReader;
    std::unique_ptr<ListingOrderer> m_sidebarOrderer;
    DirectorySidebar *m_directorySidebar = nullptr;
    std::string m_lastTreeURL; // the folder last revealed in the sidebar

    QSplitter *m_splitter = nullptr;
    QWidget *m_sidebarPane = nullptr;
    QVBoxLayout *m_sidebarLayout = nullptr;
    QWidget *m_sidebar = nullptr;
    QToolBar *m_toolbar = nullptr;
    QWidget *m_tabRow = nullptr;
    TabStrip *m_tabStrip = nullptr;
    PathBar *m_pathBar = nullptr;
    QLineEdit *m_filter = nullptr;
    SearchBar *m_searchBar = nullptr;
    SearchController *m_search = nullptr;
    FileTable *m_table = nullptr;
    FileIconView *m_iconView = nullptr;
    // Set while the views take the active tab's mode and zoom, so the zoom
    // they report back is not mistaken for the user's.
    bool m_applyingView = false;
    QWidget *m_errorRow = nullptr;
    QLabel *m_errorLabel = nullptr;
    QToolButton *m_dismissButton = nullptr;
    QLabel *m_emptyLabel = nullptr;
    QLabel *m_status = nullptr;
    QProgressBar *m_spinner = nullptr;
    QToolButton *m_moreButton = nullptr;
    QAction *m_toolNewTab = nullptr;
    QAction *m_toolEditPath = nullptr;
    QAction *m_toolMore = nullptr;
    QAction *m_toolSettings = nullptr;
    // The toolbar's view switch: a toggle, where Ctrl+2 always means icons.
    QAction *m_toolViewIcons = nullptr;

    bool m_updating = false;
    bool m_alwaysShowTabs = false;
    std::vector<TabSession> m_closedTabs; // the latest last
    std::string m_lastTabSignature;
    std::string m_lastShownURL;
    std::optional<Uuid> m_renderedTab;
};

} // namespace dromel
