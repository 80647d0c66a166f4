// The floor that the program's start-up, memory and idle figures are compared with: the least a Qt Widgets
// program must do to show a window of the query window's client size with the same CJK font files opened.
// Nothing of the program is linked in. With --timer it also runs a 50 ms timer that does nothing: the floor for the
// cost of the program's idle ticks.

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

namespace {

QFont pointFont(const QString& face, qreal points, bool bold = false)
{
    QFont font(face);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

class FloorWindow : public QWidget {
public:
    FloorWindow()
    {
        setWindowTitle(u"floor_window"_s);
        setFixedSize(606, 335);
        setFont(pointFont(u"宋体"_s, 18));
        // Measuring resolves each face to its font file, as laying out the program's labels does.
        for (const QFont& face : {font(), m_heading, m_small})
            static_cast<void>(QFontMetrics(face).horizontalAdvance(m_text));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        // One short line per face, so glyphs of each are rasterised as the program's labels are.
        QPainter painter(this);
        painter.setFont(m_heading);
        painter.drawText(40, 40, m_text);
        painter.setFont(font());
        painter.drawText(40, 120, m_text);
        painter.setFont(m_small);
        painter.drawText(40, 300, m_text);
    }

private:
    const QString m_text = u"身份证号准考证号"_s;
    const QFont m_heading = pointFont(u"黑体"_s, 18.75, true);
    const QFont m_small = pointFont(u"宋体"_s, 14.25);
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Before any widget exists, as the program does.
    QFont::insertSubstitutions(u"宋体"_s, {u"AR PL UMing CN"_s, u"Noto Serif CJK SC"_s});
    QFont::insertSubstitutions(u"黑体"_s, {u"Noto Sans Mono CJK SC"_s, u"Noto Sans CJK SC"_s});

    FloorWindow window;
    QTimer tick;
    if (argc > 1 && QByteArrayView(argv[1]) == "--timer") {
        QObject::connect(&tick, &QTimer::timeout, &window, [] {});
        tick.start(50);
    }
    window.show();
    return QApplication::exec();
}
