#include "look/EmblemIconEngine.h"

#include <QPainter>

#include <algorithm>

namespace dromel {

EmblemIconEngine::EmblemIconEngine(QIcon base, QIcon emblem)
    : m_base(std::move(base)), m_emblem(std::move(emblem)) {}

void EmblemIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) {
    m_base.paint(painter, rect, Qt::AlignCenter, mode, state);
    const int side = std::max(8, std::min(rect.width(), rect.height()) / 2);
    const QRect corner(rect.left(), rect.bottom() - side + 1, side, side);
    m_emblem.paint(painter, corner, Qt::AlignCenter, mode, state);
}

QPixmap EmblemIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) {
    QPixmap result(size);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return result;
}

QSize EmblemIconEngine::actualSize(const QSize &size, QIcon::Mode, QIcon::State) {
    return size;
}

QIconEngine *EmblemIconEngine::clone() const {
    return new EmblemIconEngine(m_base, m_emblem);
}

QString EmblemIconEngine::key() const {
    return QStringLiteral("DromelEmblem");
}

bool EmblemIconEngine::isNull() {
    return m_base.isNull();
}

} // namespace dromel
