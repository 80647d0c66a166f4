#pragma once

// Twips (1/1440 inch) and device pixels. Every position and size the program reads or sets is in twips, as a
// single-precision value; sums and halves stay unrounded until a front end turns them into its own pixels through
// devicePixels, at the resolution of the window concerned.

#include <string_view>

namespace shell {

inline constexpr float TwipsPerInch = 1440.0f;
// The resolution at which a layout pixel is 15 twips.
inline constexpr float StandardDpi = 96.0f;

constexpr float twipsPerPixel(float dpi)
{
    return TwipsPerInch / dpi;
}

// A geometry value about to be handed on: anything but a finite number raises the floating-point run-time error
// that `what` names.
float checkedTwips(float twips, std::u16string_view what);

// Twips to whole device pixels at `dpi`, rounded to nearest; a value no window system could take raises the
// floating-point run-time error.
int devicePixels(float twips, float dpi, std::u16string_view what);

float twipsFromDevicePixels(int pixels, float dpi);

} // namespace shell
