#pragma once

// Window positions are stored in twips, 1/1440 inch, as the settings file has
// always held them. `dpi` is the screen's logical dots per inch (96 gives 15
// twips a pixel). A position survives pixels -> twips -> pixels unchanged.
namespace Twips {

inline constexpr double kPerInch = 1440.0;

int toPixels(double twips, double dpi);
int fromPixels(int pixels, double dpi);

} // namespace Twips
