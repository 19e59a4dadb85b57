#include "app/Shape.h"

#include <QPainter>
#include <algorithm>

namespace velmora {

TShape::TShape(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TShape::SetBrushColor(const QColor& color)
{
    if (color == m_brushColor)
        return;
    m_brushColor = color;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_brushColor);
    // The outline's centre runs half a pixel inside the square, so the whole pen stays visible.
    const qreal side = std::min(width(), height()) - 1;
    const QRectF circle((width() - side) / 2, (height() - side) / 2, side, side);
    painter.drawEllipse(circle);
}

}  // namespace velmora
