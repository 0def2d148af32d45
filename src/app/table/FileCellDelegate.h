#pragma once

#include <QStyledItemDelegate>

namespace dromel {

// Draws one cell of the file list: 8 px of padding, in the name column a
// 20 × 20 icon before the text, the text elided in the middle, the name in the
// primary text colour and the other columns in a secondary one. Items marked
// as cut are drawn at reduced opacity.
class FileCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kPadding = 8;
    static constexpr int kIconSide = 20;
    static constexpr int kRowHeight = 32;
    static constexpr qreal kCutOpacity = 0.45;

    explicit FileCellDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

} // namespace dromel
