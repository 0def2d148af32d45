#pragma once

#include <QPixmap>
#include <QWidget>

namespace dromel {

// Places one content widget on a backing chosen by the skin: glass is a
// translucent rounded panel painted over the window background (the
// sidebar's more see-through than the main area's), solid is a rounded
// panel in the opaque window colour. Reduced transparency forces solid. The
// choice is made again whenever the theme's skin or the desktop's
// accessibility preference changes; colours are taken from the palette at
// paint time, so a light/dark switch recolours without a rebuild.
class MaterialHost : public QWidget {
    Q_OBJECT
public:
    enum class Backing { glass, solid };

    // Takes ownership of `content` and pins it to all four edges.
    MaterialHost(QWidget *content, qreal radius, bool sidebar, QWidget *parent = nullptr);

    QWidget *content() const { return m_content; }
    qreal radius() const { return m_radius; }
    bool sidebar() const { return m_sidebar; }
    Backing backing() const { return m_backing; }
    // The fill of the current backing under the current palette.
    QColor backingColor() const;

public slots:
    void updateMaterial();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *m_content;
    qreal m_radius;
    bool m_sidebar;
    Backing m_backing = Backing::solid;
    QPixmap m_cache;
    QColor m_cacheFill;
    QColor m_cacheEdge;
};

} // namespace dromel
