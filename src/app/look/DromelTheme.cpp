#include "look/DromelTheme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QStyle>

namespace dromel {

namespace {

QFont scaled(double ratio) {
    QFont font = QApplication::font();
    const QFont smallest = QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont);
    if (font.pointSizeF() > 0) {
        const double floor = smallest.pointSizeF() > 0 ? smallest.pointSizeF() : 1.0;
        font.setPointSizeF(std::max(font.pointSizeF() * ratio, std::min(floor, font.pointSizeF())));
    } else if (font.pixelSize() > 0) {
        font.setPixelSize(std::max(1, int(font.pixelSize() * ratio + 0.5)));
    }
    return font;
}

} // namespace

DromelTheme *DromelTheme::instance() {
    static DromelTheme theme;
    return &theme;
}

SkinID DromelTheme::skin() {
    return instance()->m_skin;
}

void DromelTheme::setSkin(SkinID skin) {
    instance()->m_skin = skin;
    emit instance()->didChange();
}

bool DromelTheme::reduceTransparency() {
    return instance()->m_reduceTransparency;
}

void DromelTheme::setReduceTransparency(bool reduce) {
    if (instance()->m_reduceTransparency == reduce)
        return;
    instance()->m_reduceTransparency = reduce;
    emit instance()->accessibilityChanged();
}

QFont DromelTheme::body() {
    return QApplication::font();
}
QFont DromelTheme::control() {
    return scaled(12.0 / 13.0);
}
QFont DromelTheme::caption() {
    return scaled(11.0 / 13.0);
}

QLabel *DromelTheme::label(const QString &text, bool caption, QWidget *parent) {
    auto *label = new Label(text, parent);
    label->setFont(caption ? DromelTheme::caption() : body());
    // A role rather than a fixed colour, so a switch to dark recolours it.
    label->setForegroundRole(caption ? QPalette::PlaceholderText : QPalette::WindowText);
    return label;
}

DromelTheme::Label::Label(const QString &text, QWidget *parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize DromelTheme::Label::minimumSizeHint() const {
    // Wide enough for an ellipsis; the rest of the text may be elided.
    const QSize full = QLabel::minimumSizeHint();
    const int ellipsis = fontMetrics().horizontalAdvance(QStringLiteral("…"));
    const QMargins margins = contentsMargins();
    return {std::min(full.width(), ellipsis + margins.left() + margins.right()), full.height()};
}

QString DromelTheme::Label::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void DromelTheme::Label::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const Qt::Alignment aligned = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&painter, contentsRect(), int(aligned), palette(), isEnabled(), shownText(),
                          foregroundRole());
}

} // namespace dromel
