#include "table/FileIconView.h"

#include "look/ThumbnailLoader.h"
#include "presentation/Localization.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "table/ListKeys.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <unordered_set>

namespace dromel {

namespace {

constexpr int kZoomStep = 16;
// Two lines of name under each icon, and a margin around both.
constexpr int kTextLines = 2;
constexpr int kCellMargin = 12;

} // namespace

FileIconView::FileIconView(FileTable &table, QWidget *parent) : QListView(parent), m_table(table) {
    setModel(table.model());
    setSelectionModel(table.selectionModel());
    setModelColumn(FileTableModel::nameColumn);
    setAccessibleName(Localization::current().text(TextKey::fileList));
    setViewMode(IconMode);
    setMovement(Static);
    setResizeMode(Adjust);
    setWrapping(true);
    setWordWrap(true);
    setUniformItemSizes(true);
    setSelectionMode(ExtendedSelection);
    setSelectionRectVisible(true);
    setTextElideMode(Qt::ElideMiddle);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollMode(ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    setZoom(kDefaultIcon);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { keepVisibleThumbnails(); });
}

void FileIconView::setZoom(int iconSide) {
    m_iconSide = std::clamp(iconSide, kSmallestIcon, kLargestIcon);
    setIconSize(QSize(m_iconSide, m_iconSide));
    const int line = fontMetrics().lineSpacing();
    const int width = std::max(m_iconSide + kCellMargin, m_iconSide * 3 / 2);
    setGridSize(QSize(width, m_iconSide + kTextLines * line + kCellMargin));
    fitThumbnails();
    emit zoomChanged(m_iconSide);
}

// Thumbnails as large as the icons on screen, in device pixels: the standard's
// normal flavour up to 128, large up to 256, and so on.
void FileIconView::fitThumbnails() {
    if (m_thumbnails)
        m_thumbnails->setSide(qCeil(m_iconSide * devicePixelRatioF()));
}

void FileIconView::zoomBy(int steps) {
    setZoom(m_iconSide + steps * kZoomStep);
}

void FileIconView::setThumbnails(ThumbnailLoader *thumbnails) {
    if (m_thumbnails)
        disconnect(m_thumbnails, nullptr, this, nullptr);
    m_thumbnails = thumbnails;
    if (thumbnails)
        connect(thumbnails, &ThumbnailLoader::ready, viewport(), qOverload<>(&QWidget::update));
    fitThumbnails();
    viewport()->update();
}

// Only the rows on screen keep their place in the thumbnail queue.
void FileIconView::keepVisibleThumbnails() {
    if (!m_thumbnails || !isVisible())
        return;
    std::unordered_set<std::string> shown;
    const FileTableModel &rows = m_table.fileModel();
    const QRect area = viewport()->rect();
    const QModelIndex first = indexAt(area.topLeft() + QPoint(1, 1));
    for (int row = std::max(0, first.row()); row < rows.rowCount(); ++row) {
        const QModelIndex index = rows.index(row, FileTableModel::nameColumn);
        if (!visualRect(index).intersects(area))
            break;
        shown.insert(rows.entryAt(row)->url());
    }
    m_thumbnails->keepOnly(shown);
}

bool FileIconView::event(QEvent *event) {
    // The list's keys win over the window's shortcuts here too.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (ListKeys::command(*key, m_table.store().windowsKeys)) {
            event->accept();
            return true;
        }
    }
    return QListView::event(event);
}

void FileIconView::keyPressEvent(QKeyEvent *event) {
    if (const auto command = ListKeys::command(*event, m_table.store().windowsKeys)) {
        event->accept();
        m_table.run(*command);
        return;
    }
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        if (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal) {
            zoomBy(1);
            return;
        }
        if (event->key() == Qt::Key_Minus) {
            zoomBy(-1);
            return;
        }
    }
    QListView::keyPressEvent(event);
}

void FileIconView::keyboardSearch(const QString &search) {
    // The list's type-ahead (repeated letters step through the matches) moves
    // the shared current row; currentChanged scrolls here.
    static_cast<QAbstractItemView &>(m_table).keyboardSearch(search);
}

void FileIconView::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QListView::currentChanged(current, previous);
    if (current.isValid() && isVisible())
        scrollTo(current);
}

void FileIconView::wheelEvent(QWheelEvent *event) {
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0)
            zoomBy(steps);
        event->accept();
        return;
    }
    QListView::wheelEvent(event);
}

void FileIconView::contextMenuEvent(QContextMenuEvent *event) {
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex index = indexAt(event->pos());
        if (!index.isValid())
            clearSelection();
        else if (!selectionModel()->isSelected(index))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    } else if (currentIndex().isValid()) {
        at = viewport()->mapToGlobal(visualRect(currentIndex()).center());
    }
    QMenu *menu = m_table.makeContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
    event->accept();
}

void FileIconView::mouseDoubleClickEvent(QMouseEvent *event) {
    QListView::mouseDoubleClickEvent(event);
    if (indexAt(event->position().toPoint()).isValid())
        m_table.run(ListCommand::open);
}

} // namespace dromel
