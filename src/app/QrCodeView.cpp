#include "app/QrCodeView.h"

#include <QPainter>
#include <algorithm>

#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

// Light enough that no camera takes the faded code for one to open, dark enough to show its place.
const QColor FadedModule(214, 214, 214);

}  // namespace

TQrCodeView::TQrCodeView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TQrCodeView::SetCode(const QString& url, const TQrMatrix& matrix, bool serverActive)
{
    m_url = url;
    m_matrix = matrix;
    m_serverActive = serverActive;
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
    const QColor dark = m_serverActive ? QColor(Qt::black) : FadedModule;
    for (int y = 0; y < m_matrix.Width; ++y)
        for (int x = 0; x < m_matrix.Width; ++x)
            if (m_matrix.Dark(x, y))
                painter.fillRect(first.x() + x * module, first.y() + y * module, module, module, dark);
    if (!m_serverActive)
        drawInactive(painter);
}

// The state in a box across the code's middle, in the window's own colours.
void TQrCodeView::drawInactive(QPainter& painter)
{
    const QString text = QString::fromUtf8(SServidorInativoNoQr);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    QRect placed(QPoint(), painter.fontMetrics().boundingRect(text).adjusted(-8, -5, 8, 5).size());
    placed.moveCenter(rect().center());
    painter.fillRect(placed, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(placed.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(placed, Qt::AlignCenter, text);
}

}  // namespace velmora
