#include "look/MaterialHost.h"

#include "look/DromelTheme.h"

#include <QPaintEvent>
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

// The backing is drawn once per size and colour and then copied. Drawn on
// every repaint under the table, its tall translucent antialiased fill was
// split by Qt across the global thread pool and waited for it, which a busy
// machine (a search streaming in) turned into a stalled frame.
void MaterialHost::paintEvent(QPaintEvent *event) {
    const qreal ratio = devicePixelRatioF();
    const QColor fill = backingColor();
    QColor edge = Qt::transparent;
    if (m_backing == Backing::glass) {
        edge = palette().color(QPalette::WindowText);
        edge.setAlpha(kGlassEdgeAlpha);
    }
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_cache.size() != pixels || m_cache.devicePixelRatio() != ratio || m_cacheFill != fill ||
        m_cacheEdge != edge) {
        m_cache = QPixmap(pixels);
        m_cache.setDevicePixelRatio(ratio);
        m_cache.fill(Qt::transparent);
        QPainter painter(&m_cache);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
        painter.fillPath(shape, fill);
        if (edge.alpha() > 0) {
            painter.setPen(QPen(edge, 1));
            painter.drawPath(shape);
        }
        m_cacheFill = fill;
        m_cacheEdge = edge;
    }
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.drawPixmap(QRectF(exposed), m_cache,
                       QRectF(QPointF(exposed.topLeft()) * ratio, QSizeF(exposed.size()) * ratio));
}

} // namespace dromel
