#include "app/ReadableProgressBar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

namespace velmora {

TReadableProgressBar::TReadableProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setAlignment(Qt::AlignCenter);
}

// Styles draw the text in one colour, which the fill hides when the two are alike; the style
// draws the bar alone here, and the text follows twice, each time clipped to its side of the fill.
void TReadableProgressBar::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.textVisible = false;
    painter.drawControl(QStyle::CE_ProgressBar, option);

    const QRect inside = style()->subElementRect(QStyle::SE_ProgressBarContents, &option, this);
    const qint64 range = static_cast<qint64>(maximum()) - minimum();
    const int filledWidth =
        range > 0 ? static_cast<int>(inside.width() * (static_cast<qint64>(value()) - minimum()) / range) : 0;
    const QRect filled(inside.left(), inside.top(), filledWidth, inside.height());
    const QRect empty(inside.left() + filledWidth, inside.top(), inside.width() - filledWidth, inside.height());
    for (const auto& [clip, colour] :
         {std::pair{filled, QPalette::HighlightedText}, std::pair{empty, QPalette::Text}}) {
        painter.setClipRect(clip);
        painter.setPen(palette().color(colour));
        painter.drawText(inside, Qt::AlignCenter, text());
    }
}

}  // namespace velmora
