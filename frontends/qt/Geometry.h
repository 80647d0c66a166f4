#pragma once

// The one place where twips (1/1440 inch) and points meet Qt's units. A device-independent pixel is 15 twips, as
// a pixel is at 96 dpi; Qt's own scaling takes care of high-DPI screens for the layout. Window geometry is read
// and set as single-precision twips of the outer frame (title bar and borders included) and rounded only here,
// to whole device pixels, so that on a scaled screen the panel meets the query window's edge exactly.

#include <QFont>
#include <QRect>
#include <QSizeF>
#include <optional>

class QWidget;

namespace frontend {

int pixelsFromTwips(float twips);
float twipsFromPixels(int pixels);
QRect rectFromTwips(int left, int top, int width, int height);
QSize sizeFromTwips(int width, int height);

// A font by face name and size in points. Faces Qt does not have map through QFont's substitutions
// (initialiseToolkit registers the CJK ones).
QFont pointFont(const QString& face, qreal points, bool bold = false);

// Outer geometry of a top-level window in twips. Before a window manager has framed the window, the frame it
// will draw is asked for ahead of time (WindowSystem.h); without a window manager the frame is zero. A shown,
// framed window is read from the display server, which knows where it stands in the middle of a drag.
float outerLeft(const QWidget& window);
float outerTop(const QWidget& window);
float outerWidth(const QWidget& window);
float outerHeight(const QWidget& window);

// Each setter raises a run-time error for a value that is not a finite number of pixels. Setting the position
// a window already has is not passed on, so a timer can re-dock a window without reaching the display server.
void setOuterLeft(QWidget& window, float twips);
void setOuterTop(QWidget& window, float twips);
void setOuterWidth(QWidget& window, float twips);
void setOuterHeight(QWidget& window, float twips);

// The whole primary screen, not its work area.
float screenWidth();
float screenHeight();

// Test seam: pretend the primary screen has this size in twips (nullopt: the real screen).
void setScreenSizeOverride(std::optional<QSizeF> twips);

} // namespace frontend
