#include "frontends/qt/Geometry.h"

#include "core/shell/RuntimeError.h"
#include "frontends/qt/WindowSystem.h"

#include <QEvent>
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

// Frame extents asked of the window manager before mapping (device pixels), and the device rectangle a frameless
// window was last placed at, are kept on the window itself.
constexpr char FrameExtentsProperty[] = "_shell_frameExtents";
constexpr char PlacedProperty[] = "_shell_placedExactly";

qreal ratioOf(const QWidget& window)
{
    return window.devicePixelRatioF();
}

QMargins frameKnownToQt(const QWidget& window)
{
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// The frame the window manager draws or will draw, in device pixels.
QMargins frameDevice(const QWidget& window)
{
    const QMargins known = frameKnownToQt(window);
    QVariant asked = window.property(FrameExtentsProperty);
    if (!asked.isValid() && known.isNull() && !window.isVisible()) {
        // Not framed yet: ask once what the frame will be, so the window can be placed by its outer size.
        const std::optional<QMargins> extents = windowsystem::requestFrameExtents(const_cast<QWidget&>(window));
        asked = QVariant::fromValue(extents.value_or(QMargins()));
        const_cast<QWidget&>(window).setProperty(FrameExtentsProperty, asked);
    }
    if (asked.isValid())
        return asked.value<QMargins>();
    const qreal r = ratioOf(window);
    return {qRound(known.left() * r), qRound(known.top() * r), qRound(known.right() * r), qRound(known.bottom() * r)};
}

QMargins frameLogical(const QWidget& window)
{
    const QMargins known = frameKnownToQt(window);
    if (!known.isNull())
        return known;
    const QMargins m = frameDevice(window);
    const qreal r = ratioOf(window);
    return {qRound(m.left() / r), qRound(m.top() / r), qRound(m.right() / r), qRound(m.bottom() / r)};
}

QRect logicalFromDevice(const QRect& device, qreal r)
{
    return {QPoint(qRound(device.x() / r), qRound(device.y() / r)),
            QSize(qRound(device.width() / r), qRound(device.height() / r))};
}

// Once its native window exists, Qt places a window by its client area offset by the frame Qt knows of, which
// is none until the window manager has framed it; the frame asked for ahead of time fills that gap.
QPoint outerTopLeftLogical(const QWidget& window)
{
    const QMargins m = frameLogical(window);
    if (!window.testAttribute(Qt::WA_WState_Created))
        return window.pos();
    return window.geometry().topLeft() - QPoint(m.left(), m.top());
}

// The outer frame in device pixels. A frameless window stands where it was last placed, unless Qt has moved it
// since; a framed one the user may be dragging is read from the display server; otherwise Qt's own geometry.
QRect outerDevice(const QWidget& window)
{
    const qreal r = ratioOf(window);
    const QVariant placed = window.property(PlacedProperty);
    if (placed.isValid() && logicalFromDevice(placed.toRect(), r) == QRect(window.pos(), window.size()))
        return placed.toRect();
    if (const std::optional<QRect> live = windowsystem::liveOuterGeometry(window))
        return *live;
    const QMargins m = frameLogical(window);
    const QRect logical(outerTopLeftLogical(window),
                        QSize(window.width() + m.left() + m.right(), window.height() + m.top() + m.bottom()));
    if (r == 1.0)
        return logical;
    const QMargins f = frameDevice(window);
    return {
        QPoint(qRound(logical.x() * r), qRound(logical.y() * r)),
        QSize(qRound(window.width() * r) + f.left() + f.right(), qRound(window.height() * r) + f.top() + f.bottom())};
}

float twipsFromDevice(int device, const QWidget& window)
{
    return float(device) * TwipsPerPixel / float(ratioOf(window));
}

int checkedPixels(float pixels, const char16_t* what)
{
    const float rounded = std::round(pixels);
    if (!std::isfinite(rounded) || std::fabs(rounded) > float(std::numeric_limits<int>::max() / 2))
        throw RuntimeError::invalidFloatingPoint(what);
    return static_cast<int>(rounded);
}

int checkedDevicePixels(float twips, const QWidget& window, const char16_t* what)
{
    return checkedPixels(twips / TwipsPerPixel * float(ratioOf(window)), what);
}

// Qt shows a window at the geometry it keeps in its own rounded units, which on a scaled screen may be a device
// pixel off the exact place; a window placed exactly is put back right after Qt has shown it.
class ExactPlacementKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            QMetaObject::invokeMethod(
                watched,
                [window = static_cast<QWidget*>(watched)] {
                    const QVariant placed = window->property(PlacedProperty);
                    if (placed.isValid() && window->isVisible())
                        windowsystem::placeExactly(*window, placed.toRect());
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

// Puts the outer frame at `device`. Qt is told first, in its own rounded units, so that its idea of the window
// stays true; a frameless window is then placed to the exact device pixel.
void placeOuter(QWidget& window, const QRect& device)
{
    const qreal r = ratioOf(window);
    const QMargins m = frameLogical(window);
    const QRect logical = logicalFromDevice(device, r);
    const QSize client(logical.width() - m.left() - m.right(), logical.height() - m.top() - m.bottom());
    if (client != window.size())
        window.resize(client);
    const QMargins known = frameKnownToQt(window);
    const QPoint target = logical.topLeft() + QPoint(m.left() - known.left(), m.top() - known.top());
    if (outerTopLeftLogical(window) != logical.topLeft())
        window.move(target);
    if (m.isNull() && windowsystem::placeExactly(window, device)) {
        if (!window.property(PlacedProperty).isValid())
            window.installEventFilter(new ExactPlacementKeeper(&window));
        window.setProperty(PlacedProperty, device);
    }
}

float screenDimension(bool width)
{
    if (g_screenOverride)
        return float(width ? g_screenOverride->width() : g_screenOverride->height());
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        throw RuntimeError::toolkitFailure(u"Screen");
    const QRect whole = screen->geometry();
    return twipsFromPixels(width ? whole.width() : whole.height());
}

} // namespace

int pixelsFromTwips(float twips)
{
    return checkedPixels(twips / TwipsPerPixel, u"Twips");
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
    return twipsFromDevice(outerDevice(window).x(), window);
}

float outerTop(const QWidget& window)
{
    return twipsFromDevice(outerDevice(window).y(), window);
}

float outerWidth(const QWidget& window)
{
    return twipsFromDevice(outerDevice(window).width(), window);
}

float outerHeight(const QWidget& window)
{
    return twipsFromDevice(outerDevice(window).height(), window);
}

void setOuterLeft(QWidget& window, float twips)
{
    const int x = checkedDevicePixels(twips, window, u"Left");
    const QRect current = outerDevice(window);
    if (x != current.x())
        placeOuter(window, current.translated(x - current.x(), 0));
}

void setOuterTop(QWidget& window, float twips)
{
    const int y = checkedDevicePixels(twips, window, u"Top");
    const QRect current = outerDevice(window);
    if (y != current.y())
        placeOuter(window, current.translated(0, y - current.y()));
}

void setOuterWidth(QWidget& window, float twips)
{
    const int width = checkedDevicePixels(twips, window, u"Width");
    const QRect current = outerDevice(window);
    const QMargins m = frameDevice(window);
    if (width - m.left() - m.right() < 0)
        throw RuntimeError::toolkitFailure(u"Width");
    if (width != current.width())
        placeOuter(window, QRect(current.topLeft(), QSize(width, current.height())));
}

void setOuterHeight(QWidget& window, float twips)
{
    const int height = checkedDevicePixels(twips, window, u"Height");
    const QRect current = outerDevice(window);
    const QMargins m = frameDevice(window);
    if (height - m.top() - m.bottom() < 0)
        throw RuntimeError::toolkitFailure(u"Height");
    if (height != current.height())
        placeOuter(window, QRect(current.topLeft(), QSize(current.width(), height)));
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
