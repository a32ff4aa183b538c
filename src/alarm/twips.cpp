#include "twips.h"

#include <algorithm>
#include <cmath>

namespace {

double usableDpi(double dpi)
{
    return (dpi > 0 && std::isfinite(dpi)) ? dpi : 96.0;
}

int roundClamped(double v)
{
    // A hand-edited settings file may hold anything; keep it inside a range
    // that no screen arithmetic overflows on.
    if (!std::isfinite(v))
        return 0;
    return int(std::lround(std::clamp(v, -1.0e7, 1.0e7)));
}

} // namespace

namespace Twips {

int toPixels(double twips, double dpi)
{
    return roundClamped(twips * usableDpi(dpi) / kPerInch);
}

int fromPixels(int pixels, double dpi)
{
    return roundClamped(pixels * kPerInch / usableDpi(dpi));
}

} // namespace Twips
