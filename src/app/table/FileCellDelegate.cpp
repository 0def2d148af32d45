#include "table/FileCellDelegate.h"

#include "table/FileTableModel.h"

#include <QApplication>
#include <QPainter>

namespace dromel {

FileCellDelegate::FileCellDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void FileCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();

    // Selection and alternating backgrounds come from the style; no focus frame
    // around a single cell, the row is the unit.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);

    painter->save();
    if (index.data(FileTableModel::cutRole).toBool())
        painter->setOpacity(kCutOpacity);

    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Normal
                                                                               : QPalette::Inactive;
    const bool selected = option.state & QStyle::State_Selected;
    const bool name = index.column() == FileTableModel::nameColumn;
    // The secondary colour is the one the window's captions use.
    const QPalette::ColorRole role = selected ? QPalette::HighlightedText
                                     : name   ? QPalette::Text
                                              : QPalette::PlaceholderText;
    const QColor colour = option.palette.color(group, role);

    QRect text = option.rect.adjusted(kPadding, 0, -kPadding, 0);
    if (name) {
        const QRect icon(text.left(), option.rect.top() + (option.rect.height() - kIconSide) / 2, kIconSide,
                         kIconSide);
        cell.icon.paint(painter, icon, Qt::AlignCenter, QIcon::Normal);
        text.setLeft(icon.right() + 1 + kPadding);
    }
    if (text.width() > 0) {
        painter->setFont(cell.font);
        painter->setPen(colour);
        // A name keeps its extension; a kind or a date reads from its start.
        const QString shown =
            cell.fontMetrics.elidedText(cell.text, name ? Qt::ElideMiddle : Qt::ElideRight, text.width());
        painter->drawText(text, Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    painter->restore();
}

QSize FileCellDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(kRowHeight);
    return size;
}

} // namespace dromel
