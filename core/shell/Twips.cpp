#include "core/shell/Twips.h"

#include "core/shell/RuntimeError.h"

#include <cmath>
#include <limits>

namespace shell {

float checkedTwips(float twips, std::u16string_view what)
{
    if (!std::isfinite(twips))
        throw RuntimeError::invalidFloatingPoint(what);
    return twips;
}

int devicePixels(float twips, float dpi, std::u16string_view what)
{
    const float rounded = std::round(checkedTwips(twips, what) / twipsPerPixel(dpi));
    // Room to add a frame or an offset without overflowing the window system's own arithmetic.
    if (!std::isfinite(rounded) || std::fabs(rounded) > float(std::numeric_limits<int>::max() / 2))
        throw RuntimeError::invalidFloatingPoint(what);
    return static_cast<int>(rounded);
}

float twipsFromDevicePixels(int pixels, float dpi)
{
    return float(pixels) * twipsPerPixel(dpi);
}

} // namespace shell
