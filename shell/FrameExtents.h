#pragma once

#include <QMargins>
#include <optional>

class QWidget;

// What an X11 window manager needs to be asked directly, before a window is mapped.
namespace shell::x11 {

// Asks the window manager for the frame it will draw around `window` (_NET_REQUEST_FRAME_EXTENTS), in
// device-independent pixels. nullopt when the platform is not X11, no window manager runs, or it does not
// answer in time.
std::optional<QMargins> requestFrameExtents(QWidget& window);

// Marks `window` to be left out of taskbars and pagers. Call before each mapping: the window manager drops the
// state when the window is withdrawn.
void setSkipTaskbar(QWidget& window);

} // namespace shell::x11
