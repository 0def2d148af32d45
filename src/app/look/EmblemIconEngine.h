#pragma once

#include <QIcon>
#include <QIconEngine>

namespace dromel {

// An icon with a smaller emblem over its lower left quarter, drawn at whatever
// size is asked, so one cache entry serves every row height and scale.
class EmblemIconEngine : public QIconEngine {
public:
    EmblemIconEngine(QIcon base, QIcon emblem);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;
    bool isNull() override;

private:
    QIcon m_base;
    QIcon m_emblem;
};

} // namespace dromel
