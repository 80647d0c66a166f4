#pragma once

// Everything that speaks to the window system directly: the choice of platform before the toolkit starts, and what
// an X11 window manager must be asked or told outside Qt (frame extents, taskbar hints, where a window stands
// while the manager drags it, exact device-pixel placement). A port to another platform replaces this file and
// its .cpp alone; the rest of the front end works through Qt.
//
// On X11 one object per display connection, owned by the application, keeps what the server has said about each
// of our windows (its frame, its manager's frame window, its outer geometry) and forgets a window when the server
// destroys it. What it keeps is read again only after the server has told of a change.

#include <QMargins>
#include <QRect>
#include <optional>

class QWidget;

namespace frontend::windowsystem {

// Prepares the process before the toolkit starts: the X11 platform whatever the session announces (XWayland on a
// Wayland session, where a client cannot place its own windows), no session-bus daemon started on our behalf
// where there is no session bus, and no runtime folder created where none is announced. Returns false, after
// printing why on standard error, when no display can be reached.
bool prepareToolkit();

// Asks the window manager for the frame it will draw around `window` (_NET_REQUEST_FRAME_EXTENTS), in device
// pixels. nullopt when the platform is not X11, no window manager runs, it does not list the request, or it does
// not answer in time; after one unanswered request the connection's manager is not asked again.
std::optional<QMargins> requestFrameExtents(QWidget& window);

// The frame around `window` as the window manager says now (_NET_FRAME_EXTENTS, followed as it changes), in device
// pixels. Before the window is first shown, the manager is asked ahead of time; for a window shown but not yet
// framed, a running manager that sets the frame property is waited for until it has framed the window, however
// long a busy machine makes that. Zero where there is no frame or it cannot be known; nullopt only where the
// platform is not X11.
std::optional<QMargins> frameExtents(QWidget& window);

// Calls `handler` for a window of ours, from the event loop, after the window manager has changed its frame.
void setFrameChangeHandler(void (*handler)(QWidget& window));

// Marks `window` to be left out of taskbars and pagers. Call before each mapping: the window manager drops the
// state when the window is withdrawn.
void setSkipTaskbar(QWidget& window);

// The outer frame of a shown window as the display server has it now, in device pixels. Qt learns where a window
// stands only from the manager's notifications to the window itself, and some managers send one only at the end
// of a drag, or move a window elsewhere than Qt asked; this listens to the manager's frame as well. nullopt where
// it cannot be read (not X11, not shown, minimised).
std::optional<QRect> liveOuterGeometry(const QWidget& window);

// Sends what the toolkit has queued for the display server now, for a change that must be seen before the event
// loop runs again (the busy cursor). Nothing where the platform is not X11.
void flush();

// Places a window that has no frame at exactly `device` pixels, which Qt's device-independent coordinates cannot
// express on a scaled screen. False where the platform does not allow it (not X11, no native window).
bool placeExactly(QWidget& window, const QRect& device);

} // namespace frontend::windowsystem
