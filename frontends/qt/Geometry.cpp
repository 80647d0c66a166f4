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

// Kept on the window itself, in device pixels: the client rectangle a frameless window was last placed at exactly;
// the frame its last placement allowed for; which of its outer sizes the program set; the unrounded centre the
// program's position asked for; and the outer rectangle asked for by the procedure that is running now.
constexpr char PlacedProperty[] = "_shell_placedExactly";
constexpr char AssumedFrameProperty[] = "_shell_assumedFrame";
constexpr char OuterSizeSetProperty[] = "_shell_outerSizeSet";
constexpr char AskedCentreProperty[] = "_shell_askedCentre";
constexpr char PendingProperty[] = "_shell_pendingOuter";

qreal ratioOf(const QWidget& window)
{
    return window.devicePixelRatioF();
}

// The frame the window manager draws or will draw, in device pixels, as it says now.
QMargins frameDevice(const QWidget& window)
{
    if (const std::optional<QMargins> extents = windowsystem::frameExtents(const_cast<QWidget&>(window)))
        return *extents;
    const QWindow* handle = window.windowHandle();
    const QMargins known = handle ? handle->frameMargins() : QMargins();
    const qreal r = ratioOf(window);
    return {qRound(known.left() * r), qRound(known.top() * r), qRound(known.right() * r), qRound(known.bottom() * r)};
}

QRect logicalFromDevice(const QRect& device, qreal r)
{
    return {QPoint(qRound(device.x() / r), qRound(device.y() / r)),
            QSize(qRound(device.width() / r), qRound(device.height() / r))};
}

QRect deviceFromLogical(const QRect& logical, qreal r)
{
    return {QPoint(qRound(logical.x() * r), qRound(logical.y() * r)),
            QSize(qRound(logical.width() * r), qRound(logical.height() * r))};
}

QRect grown(const QRect& client, const QMargins& frame)
{
    return client.marginsAdded(frame);
}

void placeOuter(QWidget& window, const QRect& device);

// A window manager may frame a window otherwise than it said before the window was shown, or say nothing before:
// the frame the window's placement allowed for is then replaced by the true one. An outer size the program set
// stays, and the client area gives way; otherwise the frame grows around the client area. Either way the window
// keeps its centre, so that a window centred before its frame was known stays centred.
QRect settled(QWidget& window, const QRect& live)
{
    const QVariant assumed = window.property(AssumedFrameProperty);
    const QMargins frame = frameDevice(window);
    if (!assumed.isValid() || assumed.value<QMargins>() == frame)
        return live;
    const QMargins before = assumed.value<QMargins>();
    const QRect client = live.marginsRemoved(frame);
    const QRect old = grown(client, before);
    const auto sizeSet = Qt::Orientations::fromInt(window.property(OuterSizeSetProperty).toInt());
    const QSize size(sizeSet & Qt::Horizontal ? old.width() : client.width() + frame.left() + frame.right(),
                     sizeSet & Qt::Vertical ? old.height() : client.height() + frame.top() + frame.bottom());
    // Where the program placed the window and nobody has moved it since, the centre it asked for, unrounded: the
    // manager may tell the frame before it has put the frame in place.
    const QVariant asked = window.property(AskedCentreProperty);
    const QPointF centre = asked.isValid() ? asked.toPointF() : QRectF(old).center();
    window.setProperty(AskedCentreProperty, QVariant());
    const QRect outer(QPoint(int(std::lround(centre.x() - size.width() / 2.0)),
                             int(std::lround(centre.y() - size.height() / 2.0))),
                      size);
    placeOuter(window, outer);
    return outer;
}

// The outer frame in device pixels. A shown window is read from the display server, which knows where it stands
// in the middle of a drag and where the window manager let it stand; what the running procedure has just asked
// for counts until the server can have answered. A hidden window stands where Qt will show it: where it was last
// placed exactly, unless Qt has moved it since.
QRect outerDevice(const QWidget& window)
{
    const QVariant pending = window.property(PendingProperty);
    if (pending.isValid())
        return pending.toRect();
    if (const std::optional<QRect> live = windowsystem::liveOuterGeometry(window))
        return settled(const_cast<QWidget&>(window), *live);
    const qreal r = ratioOf(window);
    const QVariant placed = window.property(PlacedProperty);
    const QRect client = placed.isValid() && logicalFromDevice(placed.toRect(), r) == window.geometry()
                             ? placed.toRect()
                             : deviceFromLogical(window.geometry(), r);
    return grown(client, frameDevice(window));
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

float devicePixels(float twips, const QWidget& window)
{
    return twips / TwipsPerPixel * float(ratioOf(window));
}

int checkedDevicePixels(float twips, const QWidget& window, const char16_t* what)
{
    return checkedPixels(devicePixels(twips, window), what);
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

void settleFrame(QWidget& window)
{
    if (window.property(AssumedFrameProperty).isValid())
        outerDevice(window);
}

// Puts the outer frame at `device`. Qt is told first, in its own rounded units, so that its idea of the window
// stays true; a frameless window is then placed to the exact device pixel.
void placeOuter(QWidget& window, const QRect& device)
{
    windowsystem::setFrameChangeHandler(settleFrame);
    const qreal r = ratioOf(window);
    const QMargins frame = frameDevice(window);
    const QRect client = device.marginsRemoved(frame);
    const QRect logical = logicalFromDevice(client, r);
    if (!window.testAttribute(Qt::WA_WState_Created)) {
        // Only where no frame can be asked for: Qt places a window it has not created by its frame, which it
        // learns once the window is shown.
        window.resize(logical.size());
        window.move(logicalFromDevice(device, r).topLeft());
    } else if (logical != window.geometry()) {
        window.setGeometry(logical);
    }
    if (frame.isNull() && windowsystem::placeExactly(window, client)) {
        if (!window.property(PlacedProperty).isValid())
            window.installEventFilter(new ExactPlacementKeeper(&window));
        window.setProperty(PlacedProperty, client);
    }
    window.setProperty(AssumedFrameProperty, QVariant::fromValue(frame));
    if (window.isVisible() && !window.property(PendingProperty).isValid()) {
        // Until the procedure ends: the server has not answered yet when the next setter reads the window.
        QMetaObject::invokeMethod(
            &window, [&window] { window.setProperty(PendingProperty, QVariant()); }, Qt::QueuedConnection);
    }
    if (window.isVisible())
        window.setProperty(PendingProperty, device);
}

void askCentre(QWidget& window, std::optional<float> x, std::optional<float> y)
{
    const QRect outer = outerDevice(window);
    QPointF centre = window.property(AskedCentreProperty).toPointF();
    if (x)
        centre.setX(*x + outer.width() / 2.0);
    if (y)
        centre.setY(*y + outer.height() / 2.0);
    window.setProperty(AskedCentreProperty, centre);
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
    askCentre(window, devicePixels(twips, window), std::nullopt);
}

void setOuterTop(QWidget& window, float twips)
{
    const int y = checkedDevicePixels(twips, window, u"Top");
    const QRect current = outerDevice(window);
    if (y != current.y())
        placeOuter(window, current.translated(0, y - current.y()));
    askCentre(window, std::nullopt, devicePixels(twips, window));
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
    window.setProperty(OuterSizeSetProperty, window.property(OuterSizeSetProperty).toInt() | Qt::Horizontal);
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
    window.setProperty(OuterSizeSetProperty, window.property(OuterSizeSetProperty).toInt() | Qt::Vertical);
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
