#include "query_window/VerticalCaptionButton.h"

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
    // CJK faces have tall line spacing; fall back to the em height so all characters fit the button.
    const int lines = int(caption.size());
    const int step = std::min(fontMetrics().lineSpacing(), std::max(1, area.height() / lines));
    const int top = area.top() + (area.height() - step * lines) / 2;
    for (int i = 0; i < lines; ++i) {
        const QRect cell(area.left(), top + i * step, area.width(), step);
        painter.drawItemText(cell, Qt::AlignCenter, option.palette, isEnabled(), caption.mid(i, 1),
                             QPalette::ButtonText);
    }
}
