#pragma once

#include "browser/BrowserStore.h"
#include "core/FileEntry.h"
#include "table/FileTableModel.h"
#include "table/ListCommand.h"

#include <QElapsedTimer>
#include <QTableView>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QMenu;

namespace dromel {

class Icons;
class QuickLook;
class ThumbnailLoader;

// The file list of the browser window: the active tab's displayed entries in
// four columns (name, kind, size, modified). It renders the store's notices
// and sends the user's intents back: selection changes to select(), header
// clicks to sort(), scrolling to saveScroll(). Everything else — opening,
// renaming, the clipboard, trashing — it hands to its owner as a ListCommand,
// from keys, double-clicks and its context menu alike.
//
// Keys follow Linux: Ctrl takes the Command key's part and Alt the Option
// key's (see ListKeys). With the store's windowsKeys on, a Ctrl-click toggles
// the clicked row and nothing else (an empty spot changes nothing).
//
// Main thread only. The store must outlive the table.
class FileTable : public QTableView {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 360;
    static constexpr int kNameMinimum = 180;
    // Wide enough for the desktop's usual type names ("CMake source code")
    // in the default Linux UI fonts, which run wider than the narrowest.
    static constexpr int kKindWidth = 170;
    static constexpr int kSizeWidth = 90;
    static constexpr int kModifiedWidth = 150;
    static constexpr int kLocationWidth = 220;
    static constexpr int kColumnMinimum = 70;
    // Below this window width the kind column is hidden.
    static constexpr int kNarrowWindow = 1020;

    FileTable(BrowserStore &store, Icons &icons, QWidget *parent = nullptr);
    ~FileTable() override;

    // Call for every change notice of the store. `content` reloads the rows
    // and restores the tab's selection and scroll offset; the other notices
    // touch neither the rows nor the scroll position.
    void render(BrowserStore::Change change);

    // Whether a command can run now (the file commands are ready, the
    // clipboard holds files, ...). The context menu asks it for every item
    // except preview and select all; without a hook those items are disabled.
    std::function<bool(ListCommand)> canRun;
    // The place a location stands for when it is not a plain folder (null
    // for a folder); asked whenever the rows are replaced.
    std::function<const FileTableModel::Place *(const std::string &url)> placeOf;
    // Fills the context menu's submenus (Open With, New Document, Sort By).
    std::function<void(ListCommand, QMenu *)> fillSubmenu;
    // A folder row was middle-clicked: it opens in a new tab.
    std::function<void(const std::string &folder)> onMiddleClickFolder;

    FileTableModel &fileModel() const { return *m_model; }
    BrowserStore &store() const { return m_store; }
    // The columns shown (the name always is) and their widths, as text, for
    // the window's state file; unknown or damaged text changes nothing.
    QString columnState() const;
    void restoreColumnState(const QString &state);
    bool isColumnChosen(int column) const { return m_chosenColumns.at(static_cast<std::size_t>(column)); }
    void setColumnChosen(int column, bool shown);
    // The header's menu of columns; the caller owns it.
    QMenu *makeColumnsMenu(QWidget *parent);

    // Shows thumbnails from `thumbnails` (which must outlive the table) for
    // the rows on screen; null shows type icons only.
    void setThumbnails(ThumbnailLoader *thumbnails);
    // The selected entries in list order.
    std::vector<FileEntry> selectedEntries() const;
    // The context menu for the current selection (the window's "more" button
    // shows the same); the caller owns it.
    QMenu *makeContextMenu(QWidget *parent);
    // Marks items as cut (paths as bytes); they are drawn faded until the set
    // is replaced. Cheap: only repaints.
    void setCutPaths(std::unordered_set<std::string> paths);

    // The preview window: shown for the selection, following it while open;
    // the list keeps the keyboard focus.
    void togglePreview();
    bool isPreviewVisible() const;
    QuickLook *quickLook() const { return m_quickLook; }

    // Performs a command: select all, deselect all and preview here, the
    // others through commandRequested.
    void run(ListCommand command);

    // Selects the items at `paths` (bytes) in tab `tab` once its listing shows
    // them, and scrolls the first into view: the folder just left after Up,
    // the items a paste, a new folder or a rename made. A newer call replaces
    // an older one; a listing that settles without them ends the wait.
    void selectWhenListed(Uuid tab, std::set<std::string> paths);

signals:
    void commandRequested(dromel::ListCommand command);
    void previewVisibilityChanged(bool visible);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyboardSearch(const QString &search) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;

private:
    void configureHeader();
    void showContent();
    void showSortIndicator();
    void restoreSelection(const std::set<std::string> &ids);
    void applyPendingScroll();
    void layoutColumns();
    void headerClicked(int section);
    void sectionResized(int section, int oldSize, int newSize);
    void scrolled(int value);
    void applyPendingSelection(bool settledCounts);
    // Lets the thumbnail loader drop what is no longer on screen.
    void keepVisibleThumbnails();
    void pushSelection();
    void followSelectionInPreview();
    std::optional<FileEntry> previewedEntry() const;
    // A widget inside the list (an inline editor) has the keyboard focus.
    bool editorHasFocus() const;
    // The Ctrl-click rule; true when the click was consumed as a toggle.
    bool toggleClick(QMouseEvent *event);
    std::vector<int> selectedRowNumbers() const;

    BrowserStore &m_store;
    Icons &m_icons;
    FileTableModel *m_model;
    QuickLook *m_quickLook = nullptr;
    ThumbnailLoader *m_thumbnails = nullptr;
    std::array<bool, 4> m_chosenColumns{true, true, true, true};
    // Set while the table itself changes selection, scroll or sort indicator,
    // so those changes are not sent back to the store.
    bool m_updating = false;
    bool m_fittingColumns = false;
    // The offset the rendered tab asked for, kept until the rows are long
    // enough to reach it (a restored tab loads progressively).
    std::optional<double> m_pendingScroll;
    // A click seen as press and as double-click toggles once (same time stamp).
    std::optional<quint64> m_lastControlClickTimestamp;
    bool m_swallowingClick = false;
    struct PendingSelection {
        Uuid tab;
        std::set<std::string> paths;
    };
    std::optional<PendingSelection> m_pendingSelection;
    QString m_typedPrefix;
    QElapsedTimer m_typedAt;
};

} // namespace dromel
