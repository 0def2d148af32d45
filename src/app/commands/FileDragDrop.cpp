#include "commands/FileDragDrop.h"

#include "commands/FileClipboard.h"
#include "commands/FileCommandController.h"
#include "desktop/DesktopInspection.h"
#include "runtime/MainThread.h"
#include "runtime/WorkQueue.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPointer>

#include <sys/stat.h>

namespace dromel {

namespace {

std::optional<dev_t> deviceOf(const std::string &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return info.st_dev;
}

// dropMoves off the main thread; `done` runs on it with the answer.
void decide(std::vector<std::string> sources, std::string folder, Qt::KeyboardModifiers modifiers,
            std::function<void(bool)> done) {
    desktopInspection().async([sources = std::move(sources), folder = std::move(folder), modifiers,
                               done = std::move(done)]() mutable {
        const bool move = FileDragDrop::dropMoves(sources, folder, modifiers);
        MainThread::post([done = std::move(done), move] { done(move); });
    });
}

} // namespace

FileDragDrop::FileDragDrop(FileTable &table, FileCommandController &commands,
                           std::function<std::string()> currentFolder)
    : QObject(&table), m_table(table), m_commands(commands), m_currentFolder(std::move(currentFolder)) {
    // Pressing on a row of a multiple selection then waits for the release
    // before it narrows the selection, so the whole selection can be dragged.
    m_table.setDragEnabled(true);
    m_table.setDragDropMode(QAbstractItemView::DragDrop);
    addView(&m_table);
}

void FileDragDrop::addView(QAbstractItemView *view) {
    if (!view)
        return;
    // The icon view's own item moves stay off (static grid); the drag is ours.
    view->setDragEnabled(true);
    m_sources.push_back(Source{view, view, view->viewport()});
    QPointer<QObject> alive(view);
    addDropTarget(view->viewport(), [this, alive, view](QPoint point) -> std::optional<std::string> {
        if (!alive)
            return std::nullopt;
        return folderAt(*view, point);
    });
}

void FileDragDrop::addDropTarget(QWidget *widget,
                                 std::function<std::optional<std::string>(QPoint)> folderAt) {
    if (!widget)
        return;
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
    m_targets.push_back(Target{widget, std::move(folderAt)});
}

bool FileDragDrop::dropMoves(const std::vector<std::string> &sources, const std::string &folder,
                             Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::ShiftModifier)
        return true;
    if (modifiers & Qt::ControlModifier)
        return false;
    const auto destination = deviceOf(folder);
    if (!destination || sources.empty())
        return false;
    for (const std::string &source : sources) {
        struct stat info {};
        if (::lstat(source.c_str(), &info) != 0 || info.st_dev != *destination)
            return false;
    }
    return true;
}

bool FileDragDrop::hoverMoves(const std::vector<std::string> &sources, const std::string &folder,
                              Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))
        return modifiers & Qt::ShiftModifier;
    if (!m_hover || m_hover->folder != folder || m_hover->modifiers != modifiers ||
        m_hover->sources != sources) {
        m_hover = Hover{sources, folder, modifiers, std::nullopt};
        decide(sources, folder, modifiers, m_lifetime.guard([this, sources, folder, modifiers](bool move) {
            if (m_hover && m_hover->folder == folder && m_hover->modifiers == modifiers &&
                m_hover->sources == sources)
                m_hover->move = move;
        }));
    }
    return m_hover->move.value_or(false);
}

int FileDragDrop::rowAt(QAbstractItemView &view, QPoint point) const {
    // The table's rows span its width; an icon covers only its cell.
    if (&view == &m_table)
        return m_table.rowAt(point.y());
    return view.indexAt(point).row();
}

std::optional<std::string> FileDragDrop::folderAt(QAbstractItemView &view, QPoint point) const {
    // A place such as the Trash is not a folder to drop into.
    if (m_table.fileModel().place())
        return std::nullopt;
    const int row = rowAt(view, point);
    if (row >= 0) {
        if (const FileEntry *entry = m_table.fileModel().entryAt(row); entry && entry->isNavigable())
            return entry->url();
    }
    return m_currentFolder();
}

bool FileDragDrop::eventFilter(QObject *watched, QEvent *event) {
    // Events also arrive while the table is being destroyed: compare with
    // the viewport recorded when it was alive, and touch nothing otherwise.
    const QEvent::Type type = event->type();
    const bool mouse =
        type == QEvent::MouseButtonPress || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease;
    for (const Source &source : m_sources)
        if (mouse && watched == source.viewport && source.alive && viewMouse(*source.view, event))
            return true;
    for (const Target &target : m_targets)
        if (target.widget == watched)
            return dragEvent(target, event);
    return false;
}

bool FileDragDrop::viewMouse(QAbstractItemView &view, QEvent *event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const int row = rowAt(view, mouse->position().toPoint());
        m_pressedAt.reset();
        m_narrowOnRelease.reset();
        if (mouse->button() == Qt::LeftButton && row >= 0)
            m_pressedAt = mouse->position().toPoint();
        // The icon view narrows a selection on the press even with dragging
        // on; a press on a selected icon waits for the release instead, as
        // the table does, so the whole selection can be dragged.
        const QModelIndex pressed = view.indexAt(mouse->position().toPoint());
        if (m_pressedAt && &view != &m_table && mouse->modifiers() == Qt::NoModifier &&
            view.selectionModel()->isSelected(pressed)) {
            m_narrowOnRelease = row;
            view.selectionModel()->setCurrentIndex(pressed, QItemSelectionModel::NoUpdate);
            return true;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_pressedAt || !(mouse->buttons() & Qt::LeftButton))
            return false;
        if ((mouse->position().toPoint() - *m_pressedAt).manhattanLength() <
            QApplication::startDragDistance())
            return false;
        m_pressedAt.reset();
        m_narrowOnRelease.reset();
        const int row = rowAt(view, mouse->position().toPoint());
        if (row >= 0 && !m_table.selectionModel()->isRowSelected(row, {}))
            m_table.selectRow(row);
        startDrag();
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (m_pressedAt && m_narrowOnRelease)
            m_table.selectRow(*m_narrowOnRelease);
        m_pressedAt.reset();
        m_narrowOnRelease.reset();
        return false;
    default:
        return false;
    }
}

void FileDragDrop::startDrag() {
    const std::vector<FileEntry> entries = m_table.selectedEntries();
    if (entries.empty())
        return;
    std::vector<std::string> paths;
    m_draggedIDs.clear();
    for (const FileEntry &entry : entries) {
        paths.push_back(entry.url());
        m_draggedIDs[entry.url()] = entry.id();
    }
    m_draggedFromPlace = m_table.fileModel().place() != nullptr;
    auto *drag = new QDrag(&m_table);
    drag->setMimeData(FileClipboard::encodeFiles(paths, false).release());
    // The outcome does not matter here: a move into this program is done by
    // the engine, and a move into another program by that program.
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    m_draggedIDs.clear();
    m_draggedFromPlace = false;
}

bool FileDragDrop::dragEvent(const Target &target, QEvent *event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (event->type() == QEvent::DragEnter)
            m_hover.reset();
        const auto contents = drop->mimeData() ? FileClipboard::decodeFiles(*drop->mimeData()) : std::nullopt;
        const auto folder = target.folderAt(drop->position().toPoint());
        if (!contents || !folder || (!m_commands.ready() && !m_commands.journalInUse())) {
            drop->ignore();
            return true;
        }
        if (!m_commands.ready()) {
            // Another process holds the journal: the drop is taken only to be
            // refused with the reason, never done.
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (event->type() == QEvent::Drop)
                m_commands.drop(contents->paths, {}, *folder, false);
            return true;
        }
        // What the drop tells its source is the hover's answer; what is done
        // is looked up again for the items as they are now.
        const bool move = hoverMoves(contents->paths, *folder, drop->modifiers());
        drop->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop) {
            m_hover.reset();
            std::map<std::string, std::string> expected;
            if (drop->source() == &m_table)
                expected = m_draggedIDs;
            // Out of the Trash into a folder: a restore there, which also
            // removes the items' records.
            if (drop->source() == &m_table && m_draggedFromPlace) {
                m_commands.restore(contents->paths, *folder);
                return true;
            }
            QPointer<FileCommandController> commands(&m_commands);
            decide(contents->paths, *folder, drop->modifiers(),
                   [commands, paths = contents->paths, expected = std::move(expected),
                    folder = *folder](bool moves) mutable {
                       if (commands)
                           commands->drop(std::move(paths), std::move(expected), folder, moves);
                   });
        }
        return true;
    }
    case QEvent::DragLeave:
        m_hover.reset();
        return true;
    default:
        return false;
    }
}

} // namespace dromel
