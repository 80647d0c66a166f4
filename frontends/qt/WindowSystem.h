#pragma once

// Everything that speaks to the window system directly: the choice of platform before the toolkit starts, and what
// an X11 window manager must be asked or told outside Qt (frame extents, taskbar hints, where a window stands
// while the manager drags it, exact device-pixel placement). A port to another platform replaces this file and
// its .cpp alone; the rest of the shell works through Qt.

#include <QMargins>
#include <QRect>
#include <optional>

class QWidget;

namespace shell::windowsystem {

// Prepares the process before the toolkit starts: the X11 platform whatever the session announces (XWayland on a
// Wayland session, where a client cannot place its own windows), and no session-bus daemon started on our behalf
// where there is no session bus. Returns false, after printing why on standard error, when no display can be
// reached.
bool prepareToolkit();

// Asks the window manager for the frame it will draw around `window` (_NET_REQUEST_FRAME_EXTENTS), in device
// pixels. nullopt when the platform is not X11, no window manager runs, or it does not answer in time.
std::optional<QMargins> requestFrameExtents(QWidget& window);

// Marks `window` to be left out of taskbars and pagers. Call before each mapping: the window manager drops the
// state when the window is withdrawn.
void setSkipTaskbar(QWidget& window);

// The outer frame of a shown window as the display server has it now, in device pixels. Qt learns where a window
// stands only from the manager's notifications to the window itself, and some managers send one only at the end
// of a drag; this listens to the manager's frame as well. nullopt where it cannot be read (not X11, not shown,
// minimised).
std::optional<QRect> liveOuterGeometry(const QWidget& window);

// Places a window that has no frame at exactly `device` pixels, which Qt's device-independent coordinates cannot
// express on a scaled screen. False where the platform does not allow it (not X11, no native window).
bool placeExactly(QWidget& window, const QRect& device);

} // namespace shell::windowsystem
