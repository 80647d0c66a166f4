#include "frontends/qt/Geometry.h"

#include "core/shell/RuntimeError.h"
#include "core/shell/Twips.h"
#include "frontends/qt/WindowSystem.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <unordered_map>

using namespace Qt::Literals::StringLiterals;

namespace frontend {

namespace {

std::optional<QSizeF> g_screenOverride;

// What the program has asked of a window, in device pixels. Plain data looked up by the window, so that a timer
// tick that finds nothing moved costs two lookups and a comparison.
struct Placement {
    std::optional<QRect> placedExactly;   // the client rectangle a frameless window was last placed at exactly
    std::optional<QMargins> assumedFrame; // the frame its last placement allowed for
    Qt::Orientations outerSizeSet;        // which of its outer sizes the program set
    std::optional<QPointF> askedCentre;   // the unrounded centre the program's position asked for
    std::optional<QRect> pending;         // the outer rectangle asked for by the procedure that is running now
};

std::unordered_map<const QWidget*, Placement>& placements()
{
    static std::unordered_map<const QWidget*, Placement> byWindow;
    return byWindow;
}

Placement& placementOf(const QWidget& window)
{
    auto [entry, added] = placements().try_emplace(&window);
    if (added)
        QObject::connect(&window, &QObject::destroyed, [&window] { placements().erase(&window); });
    return entry->second;
}

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
    Placement& placement = placementOf(window);
    if (!placement.assumedFrame)
        return live;
    const QMargins frame = frameDevice(window);
    if (*placement.assumedFrame == frame)
        return live;
    const QMargins before = *placement.assumedFrame;
    const QRect client = live.marginsRemoved(frame);
    const QRect old = grown(client, before);
    const Qt::Orientations sizeSet = placement.outerSizeSet;
    const QSize size(sizeSet & Qt::Horizontal ? old.width() : client.width() + frame.left() + frame.right(),
                     sizeSet & Qt::Vertical ? old.height() : client.height() + frame.top() + frame.bottom());
    // Where the program placed the window and nobody has moved it since, the centre it asked for, unrounded: the
    // manager may tell the frame before it has put the frame in place.
    const QPointF centre = placement.askedCentre.value_or(QRectF(old).center());
    placement.askedCentre.reset();
    const QRect outer(
        QPoint(int(std::lround(centre.x() - size.width() / 2.0)), int(std::lround(centre.y() - size.height() / 2.0))),
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
    const Placement& placement = placementOf(window);
    if (placement.pending)
        return *placement.pending;
    // A frameless window placed exactly keeps the size the program gave it, also while the manager has it
    // otherwise for a moment, and while Qt, hidden, still takes in the server's late reports of sizes it had before.
    const std::optional<QRect>& placed = placement.placedExactly;
    const bool sizeKept = placed && placement.outerSizeSet == (Qt::Horizontal | Qt::Vertical);
    if (const std::optional<QRect> live = windowsystem::liveOuterGeometry(window)) {
        // Where it stands is the server's word.
        if (sizeKept)
            return QRect(live->topLeft(), placed->size());
        return settled(const_cast<QWidget&>(window), *live);
    }
    const qreal r = ratioOf(window);
    const QRect logical = window.geometry();
    if (sizeKept)
        return {logicalFromDevice(*placed, r).topLeft() == logical.topLeft() ? placed->topLeft()
                                                                              : deviceFromLogical(logical, r).topLeft(),
                placed->size()};
    const QRect client = placed && logicalFromDevice(*placed, r) == logical ? *placed : deviceFromLogical(logical, r);
    return grown(client, frameDevice(window));
}

// A device-independent pixel is a pixel at 96 dpi; Qt's scale factor multiplies it.
float dpiOf(const QWidget& window)
{
    return shell::StandardDpi * float(ratioOf(window));
}

float twipsFromDevice(int device, const QWidget& window)
{
    return shell::twipsFromDevicePixels(device, dpiOf(window));
}

float devicePixels(float twips, const QWidget& window)
{
    return twips / shell::twipsPerPixel(dpiOf(window));
}

int checkedDevicePixels(float twips, const QWidget& window, const char16_t* what)
{
    return shell::devicePixels(twips, dpiOf(window), what);
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
                    const std::optional<QRect> placed = placementOf(*window).placedExactly;
                    if (placed && window->isVisible())
                        windowsystem::placeExactly(*window, *placed);
                },
                Qt::QueuedConnection);
        } else if (event->type() == QEvent::Resize) {
            // A manager that sized the window by the steps Qt asked for before they were dropped: give the window
            // back the exact size the program set.
            QMetaObject::invokeMethod(
                watched,
                [window = static_cast<QWidget*>(watched)] {
                    const std::optional<QRect> placed = placementOf(*window).placedExactly;
                    const std::optional<QRect> live = windowsystem::liveOuterGeometry(*window);
                    if (placed && live && live->size() != placed->size())
                        windowsystem::placeExactly(*window, QRect(live->topLeft(), placed->size()));
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

void settleFrame(QWidget& window)
{
    if (placementOf(window).assumedFrame)
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
    Placement& placement = placementOf(window);
    if (frame.isNull() && windowsystem::placeExactly(window, client)) {
        if (!placement.placedExactly)
            window.installEventFilter(new ExactPlacementKeeper(&window));
        placement.placedExactly = client;
    }
    placement.assumedFrame = frame;
    if (window.isVisible() && !placement.pending) {
        // Until the procedure ends: the server has not answered yet when the next setter reads the window.
        QMetaObject::invokeMethod(
            &window, [&window] { placementOf(window).pending.reset(); }, Qt::QueuedConnection);
    }
    if (window.isVisible())
        placement.pending = device;
}

// Remembers the centre a position asked for, unrounded, given the outer frame before the placement.
void askCentre(QWidget& window, const QRect& outer, std::optional<float> x, std::optional<float> y)
{
    Placement& placement = placementOf(window);
    QPointF centre = placement.askedCentre.value_or(QPointF());
    if (x)
        centre.setX(*x + outer.width() / 2.0);
    if (y)
        centre.setY(*y + outer.height() / 2.0);
    placement.askedCentre = centre;
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
    return shell::devicePixels(twips, shell::StandardDpi, u"Twips");
}

float twipsFromPixels(int pixels)
{
    return shell::twipsFromDevicePixels(pixels, shell::StandardDpi);
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
    askCentre(window, current, devicePixels(twips, window), std::nullopt);
}

void setOuterTop(QWidget& window, float twips)
{
    const int y = checkedDevicePixels(twips, window, u"Top");
    const QRect current = outerDevice(window);
    if (y != current.y())
        placeOuter(window, current.translated(0, y - current.y()));
    askCentre(window, current, std::nullopt, devicePixels(twips, window));
}

namespace {

// One outer size, kept as the program gave it; the frame the manager draws must fit inside it.
void setOuterSize(QWidget& window, float twips, Qt::Orientation which)
{
    const bool horizontal = which == Qt::Horizontal;
    const char16_t* what = horizontal ? u"Width" : u"Height";
    const int size = checkedDevicePixels(twips, window, what);
    const QRect current = outerDevice(window);
    const QMargins m = frameDevice(window);
    if (size - (horizontal ? m.left() + m.right() : m.top() + m.bottom()) < 0)
        throw RuntimeError::toolkitFailure(what);
    const QSize wanted = horizontal ? QSize(size, current.height()) : QSize(current.width(), size);
    if (wanted != current.size())
        placeOuter(window, QRect(current.topLeft(), wanted));
    placementOf(window).outerSizeSet |= which;
}

} // namespace

void setOuterWidth(QWidget& window, float twips)
{
    setOuterSize(window, twips, Qt::Horizontal);
}

void setOuterHeight(QWidget& window, float twips)
{
    setOuterSize(window, twips, Qt::Vertical);
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

} // namespace frontend
