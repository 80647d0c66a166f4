#include "frontends/qt/VerticalCaptionButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

void VerticalCaptionButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    const QString caption = text();
    if (caption.isEmpty())
        return;
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    // One character per line, each line as high as the face; a taller face is squeezed so that all lines fit.
    const int lines = int(caption.size());
    const int step = std::min(fontMetrics().height(), std::max(1, area.height() / lines));
    const int top = area.top() + (area.height() - step * lines) / 2;
    for (int i = 0; i < lines; ++i) {
        const QRect cell(area.left(), top + i * step, area.width(), step);
        painter.drawItemText(cell, Qt::AlignCenter, option.palette, isEnabled(), caption.mid(i, 1),
                             QPalette::ButtonText);
    }
}
