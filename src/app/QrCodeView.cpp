#include "app/QrCodeView.h"

#include <QPainter>
#include <algorithm>

namespace velmora {

TQrCodeView::TQrCodeView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TQrCodeView::SetCode(const QString& url, const TQrMatrix& matrix)
{
    m_url = url;
    m_matrix = matrix;
    setToolTip(url);
    update();
}

int TQrCodeView::ModulePixels() const
{
    if (m_matrix.Empty())
        return 0;
    const int modules = m_matrix.Width + 2 * QrQuietZone;
    return std::max(1, std::min(width(), height()) / modules);
}

void TQrCodeView::paintEvent(QPaintEvent*)
{
    const int module = ModulePixels();
    if (module == 0)
        return;
    // No smoothing: a module's edge that falls between pixels blurs, and a camera reads sharp edges.
    QPainter painter(this);
    const int side = (m_matrix.Width + 2 * QrQuietZone) * module;
    const QPoint origin((width() - side) / 2, (height() - side) / 2);
    painter.fillRect(QRect(origin, QSize(side, side)), Qt::white);
    const QPoint first = origin + QPoint(QrQuietZone * module, QrQuietZone * module);
    for (int y = 0; y < m_matrix.Width; ++y)
        for (int x = 0; x < m_matrix.Width; ++x)
            if (m_matrix.Dark(x, y))
                painter.fillRect(first.x() + x * module, first.y() + y * module, module, module, Qt::black);
}

}  // namespace velmora
