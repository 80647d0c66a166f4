#include "shell/Twips.h"

#include "shell/FrameExtents.h"
#include "shell/RuntimeError.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace shell {

namespace {

std::optional<QSizeF> g_screenOverride;

// Frame extents asked of the window manager before mapping are kept on the window itself.
constexpr char FrameExtentsProperty[] = "_shell_frameExtents";

QMargins frameKnownToQt(const QWidget& window)
{
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

QMargins frameMargins(const QWidget& window)
{
    const QMargins known = frameKnownToQt(window);
    if (!known.isNull())
        return known;
    QVariant asked = window.property(FrameExtentsProperty);
    if (!asked.isValid() && !window.isVisible()) {
        // Not framed yet: ask once what the frame will be, so the window can be placed by its outer size.
        const std::optional<QMargins> extents = x11::requestFrameExtents(const_cast<QWidget&>(window));
        asked = QVariant::fromValue(extents.value_or(QMargins()));
        const_cast<QWidget&>(window).setProperty(FrameExtentsProperty, asked);
    }
    return asked.isValid() ? asked.value<QMargins>() : QMargins();
}

// Once its native window exists, Qt places a window by its client area offset by the frame Qt knows of, which
// is none until the window manager has framed it; the frame asked for ahead of time fills that gap.
QPoint outerTopLeft(const QWidget& window)
{
    const QMargins m = frameMargins(window);
    if (!window.testAttribute(Qt::WA_WState_Created))
        return window.pos();
    return window.geometry().topLeft() - QPoint(m.left(), m.top());
}

void moveOuter(QWidget& window, QPoint outer)
{
    const QMargins m = frameMargins(window);
    const QMargins known = frameKnownToQt(window);
    window.move(outer + QPoint(m.left() - known.left(), m.top() - known.top()));
}

int checkedPixels(float twips, const char16_t* what)
{
    const float pixels = std::round(twips / TwipsPerPixel);
    if (!std::isfinite(pixels) || std::fabs(pixels) > float(std::numeric_limits<int>::max() / 2))
        throw RuntimeError::invalidFloatingPoint(QString::fromUtf16(what));
    return static_cast<int>(pixels);
}

float screenDimension(bool width)
{
    if (g_screenOverride)
        return float(width ? g_screenOverride->width() : g_screenOverride->height());
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        throw RuntimeError::toolkitFailure(u"Screen"_s);
    const QRect whole = screen->geometry();
    return twipsFromPixels(width ? whole.width() : whole.height());
}

} // namespace

int pixelsFromTwips(float twips)
{
    return checkedPixels(twips, u"Twips");
}

float twipsFromPixels(int pixels)
{
    return float(pixels) * TwipsPerPixel;
}

QRect rectFromTwips(int left, int top, int width, int height)
{
    return {pixelsFromTwips(float(left)), pixelsFromTwips(float(top)), pixelsFromTwips(float(width)),
            pixelsFromTwips(float(height))};
}

QSize sizeFromTwips(int width, int height)
{
    return {pixelsFromTwips(float(width)), pixelsFromTwips(float(height))};
}

QFont pointFont(const QString& face, qreal points, bool bold)
{
    QFont font(face);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

float outerLeft(const QWidget& window)
{
    return twipsFromPixels(outerTopLeft(window).x());
}

float outerTop(const QWidget& window)
{
    return twipsFromPixels(outerTopLeft(window).y());
}

float outerWidth(const QWidget& window)
{
    const QMargins m = frameMargins(window);
    return twipsFromPixels(window.width() + m.left() + m.right());
}

float outerHeight(const QWidget& window)
{
    const QMargins m = frameMargins(window);
    return twipsFromPixels(window.height() + m.top() + m.bottom());
}

void setOuterLeft(QWidget& window, float twips)
{
    const int x = checkedPixels(twips, u"Left");
    const QPoint current = outerTopLeft(window);
    if (x != current.x())
        moveOuter(window, {x, current.y()});
}

void setOuterTop(QWidget& window, float twips)
{
    const int y = checkedPixels(twips, u"Top");
    const QPoint current = outerTopLeft(window);
    if (y != current.y())
        moveOuter(window, {current.x(), y});
}

void setOuterWidth(QWidget& window, float twips)
{
    const QMargins m = frameMargins(window);
    const int width = checkedPixels(twips, u"Width") - m.left() - m.right();
    if (width < 0)
        throw RuntimeError::toolkitFailure(u"Width"_s);
    if (width != window.width())
        window.resize(width, window.height());
}

void setOuterHeight(QWidget& window, float twips)
{
    const QMargins m = frameMargins(window);
    const int height = checkedPixels(twips, u"Height") - m.top() - m.bottom();
    if (height < 0)
        throw RuntimeError::toolkitFailure(u"Height"_s);
    if (height != window.height())
        window.resize(window.width(), height);
}

float screenWidth()
{
    return screenDimension(true);
}

float screenHeight()
{
    return screenDimension(false);
}

void setScreenSizeOverride(std::optional<QSizeF> twips)
{
    g_screenOverride = twips;
}

} // namespace shell
