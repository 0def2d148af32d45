#pragma once

#include "runtime/Lifetime.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QAbstractItemView;
class QDropEvent;
class QWidget;

namespace dromel {

class FileCommandController;
class FileTable;

// Drag and drop with the Linux conventions: a drop moves items within one
// volume and copies them across volumes; Shift forces a move, Ctrl a copy.
// Items travel as text/uri-list (with the GNOME and KDE forms beside it), so
// other programs take drags from the list and give drops to it. Every drop
// becomes a request through the file commands, with versions captured: no
// drop touches a file by itself, and a drag never deletes its source (a
// program that moves a dragged item does so itself).
//
// Main thread only. Lives as long as the views it watches (parented to the
// table); the file commands must outlive it.
class FileDragDrop : public QObject {
    Q_OBJECT

public:
    // Drags start from the table's selected rows; drops land on the folder
    // row under the pointer, or else in the table's current folder.
    FileDragDrop(FileTable &table, FileCommandController &commands,
                 std::function<std::string()> currentFolder);

    // Another widget that takes drops, such as a sidebar folder or a tab:
    // `folderAt` names the folder under a point, or nothing where a drop
    // cannot land.
    void addDropTarget(QWidget *widget, std::function<std::optional<std::string>(QPoint)> folderAt);
    // Another view of the table's rows (the icon view): drags start from it
    // and drops land on its folder items as on the table's rows. It shares
    // the table's model and selection model, and outlives nothing here.
    void addView(QAbstractItemView *view);

    // Move or copy for a drop of `sources` into `folder` with these keys held.
    // Looks the items up (it blocks on a slow volume): off the main thread only.
    static bool dropMoves(const std::vector<std::string> &sources, const std::string &folder,
                          Qt::KeyboardModifiers modifiers);

    // Whether the move-or-copy answer for the hovering drag is known (or
    // no drag hovers).
    bool hoverSettled() const { return !m_hover || m_hover->move.has_value(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Target {
        QPointer<QWidget> widget;
        std::function<std::optional<std::string>(QPoint)> folderAt;
    };
    // The answer while a drag hovers, looked up off the main thread once per
    // folder and keys (copy until it is known), so a dead volume never stalls
    // the window; a drop looks the items up again, also off the main thread.
    struct Hover {
        std::vector<std::string> sources;
        std::string folder;
        Qt::KeyboardModifiers modifiers;
        std::optional<bool> move;
    };

    // Events also arrive while a view is being destroyed, when it is no
    // longer a view: `alive` says whether it is still there, and `view` is
    // used only for mouse events, which a dying view does not get.
    struct Source {
        QPointer<QObject> alive;
        QAbstractItemView *view;
        QWidget *viewport; // compared only
    };
    bool viewMouse(QAbstractItemView &view, QEvent *event);
    int rowAt(QAbstractItemView &view, QPoint point) const;
    std::optional<std::string> folderAt(QAbstractItemView &view, QPoint point) const;
    void startDrag();
    bool dragEvent(const Target &target, QEvent *event);
    bool hoverMoves(const std::vector<std::string> &sources, const std::string &folder,
                    Qt::KeyboardModifiers modifiers);

    FileTable &m_table;
    std::vector<Source> m_sources;
    FileCommandController &m_commands;
    bool m_draggedFromPlace = false; // the drag started in the Trash
    std::function<std::string()> m_currentFolder;
    std::vector<Target> m_targets;
    std::optional<QPoint> m_pressedAt;
    std::optional<int> m_narrowOnRelease; // the row a click without a drag selects alone
    // The listed identities of what this table is dragging, so a drop back
    // into the program checks that each item is still the one listed.
    std::map<std::string, std::string> m_draggedIDs;
    std::optional<Hover> m_hover;
    Lifetime m_lifetime;
};

} // namespace dromel
