#pragma once

// What the front end asks of the display: resolutions, frame sizes and the frame the user sees. Functions that
// Windows XP lacks (per-monitor resolution, frames for a given resolution, the compositor's frame) are looked up at
// run time, with the system-wide answer as the fallback, so one program runs from Windows XP SP3 to 11.

#include "frontends/windows/Win32.h"

#include <optional>

namespace frontend {

// The resolution (dots per inch) of the screen the window stands on: 1440 / dpi twips per pixel.
UINT windowDpi(HWND window);
// The resolution of the primary screen. `onScreen`, a window of the program or nullptr, answers it where it stands on
// that screen, through user32, which every program has loaded; only otherwise is shcore.dll loaded to ask.
UINT primaryScreenDpi(HWND onScreen);
// The system-wide resolution: a guess for a window that does not know its screen yet.
UINT systemDpi();
// The outer size of a window whose client area is `clientWidth` × `clientHeight` device pixels at `dpi`; false
// if Windows refuses.
bool outerSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi, SIZE& outer);
// The frame as the desktop compositor draws it, where it differs from the window rectangle: Windows 10 and 11 keep
// an invisible band around a framed window inside GetWindowRect. nullopt without a compositor's answer.
std::optional<RECT> compositedFrame(HWND window);
// A font's cell height for `points` at `dpi`, negative as CreateFontW takes a character height: rounded half away
// from zero, as MulDiv does.
int fontHeight(float points, UINT dpi);

} // namespace frontend
