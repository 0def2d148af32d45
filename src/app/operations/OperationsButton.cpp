#include "operations/OperationsButton.h"

#include "look/Symbols.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace dromel {

namespace {

constexpr int kBadgeHeight = 11;

} // namespace

OperationsButton::OperationsButton(QWidget *parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFixedSize(Symbols::kButtonSide, Symbols::kButtonSide);
    setIconSize(QSize(Symbols::kSymbolSide, Symbols::kSymbolSide));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    applySymbol();
}

void OperationsButton::showState(Badge badge, int count, const QString &detail) {
    const bool changed = badge != m_badge || count != m_count;
    m_badge = badge;
    m_count = badge == Badge::none ? 0 : count;
    setToolTip(detail);
    setAccessibleDescription(badge == Badge::none ? QString() : detail);
    if (changed)
        update();
}

QString OperationsButton::badgeText() const {
    if (m_badge == Badge::none || m_count <= 0)
        return {};
    return m_count > 9 ? QStringLiteral("9+") : QString::number(m_count);
}

void OperationsButton::paintEvent(QPaintEvent *event) {
    QToolButton::paintEvent(event);
    const QString label = badgeText();
    if (label.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont small = font();
    small.setPixelSize(8);
    small.setBold(true);
    painter.setFont(small);
    const int textWidth = painter.fontMetrics().horizontalAdvance(label);
    const int width = std::max(kBadgeHeight, textWidth + 5);
    // The top right corner, over the symbol's edge, as a desktop's badges sit.
    const QRectF pill(this->width() - width - 1, 1, width, kBadgeHeight);
    // Running work takes the selection colour; failures the warning red the
    // desktop uses for errors, readable on light and dark alike.
    const QColor fill = m_badge == Badge::failed ? QColor(0xda, 0x44, 0x53)
                                                 : palette().color(QPalette::Active, QPalette::Highlight);
    QPainterPath shape;
    shape.addRoundedRect(pill, kBadgeHeight / 2.0, kBadgeHeight / 2.0);
    painter.fillPath(shape, fill);
    painter.setPen(m_badge == Badge::failed ? QColor(Qt::white)
                                            : palette().color(QPalette::Active, QPalette::HighlightedText));
    painter.drawText(pill, Qt::AlignCenter, label);
}

void OperationsButton::changeEvent(QEvent *event) {
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applySymbol();
}

void OperationsButton::applySymbol() {
    setIcon(Symbols::icon(Symbols::Symbol::operations, palette()));
}

} // namespace dromel
