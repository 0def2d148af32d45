#include "look/MaterialHost.h"

#include "look/DromelTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace dromel {

namespace {

// How much of the window background shows through glass: the sidebar lets
// more through than the content area, as the platform materials do.
constexpr int kSidebarGlassAlpha = 110;
constexpr int kContentGlassAlpha = 190;
constexpr int kGlassEdgeAlpha = 48;

} // namespace

MaterialHost::MaterialHost(QWidget *content, qreal radius, bool sidebar, QWidget *parent)
    : QWidget(parent), m_content(content), m_radius(radius), m_sidebar(sidebar) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(content);
    connect(DromelTheme::instance(), &DromelTheme::didChange, this, &MaterialHost::updateMaterial);
    connect(DromelTheme::instance(), &DromelTheme::accessibilityChanged, this, &MaterialHost::updateMaterial);
    updateMaterial();
}

void MaterialHost::updateMaterial() {
    const bool glass = DromelTheme::skin() != SkinID::solid && !DromelTheme::reduceTransparency();
    m_backing = glass ? Backing::glass : Backing::solid;
    update();
}

QColor MaterialHost::backingColor() const {
    if (m_backing == Backing::solid)
        return palette().color(QPalette::Window);
    QColor tint = palette().color(QPalette::Base);
    tint.setAlpha(m_sidebar ? kSidebarGlassAlpha : kContentGlassAlpha);
    return tint;
}

void MaterialHost::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    painter.fillPath(shape, backingColor());
    if (m_backing == Backing::glass) {
        QColor edge = palette().color(QPalette::WindowText);
        edge.setAlpha(kGlassEdgeAlpha);
        painter.setPen(QPen(edge, 1));
        painter.drawPath(shape);
    }
}

} // namespace dromel
