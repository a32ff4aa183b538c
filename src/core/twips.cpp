#include "twips.h"

#include "numeric.h"

#include <algorithm>
#include <cmath>

namespace {

double perPixel(double dpi)
{
    return TwipsScale::kPerInch / (dpi > 0 && std::isfinite(dpi) ? dpi : 96.0);
}

// Rounding half away from zero keeps a negative position the mirror of a
// positive one (a window left of the main screen comes back where it was).
int roundClamped(double v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::lround(std::clamp(v, -TwipsScale::kMaxPixels * 1440, TwipsScale::kMaxPixels * 1440)));
}

int pixelsClamped(double v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::lround(std::clamp(v, -TwipsScale::kMaxPixels, TwipsScale::kMaxPixels)));
}

} // namespace

TwipsScale::TwipsScale(double logicalDpiX, double logicalDpiY)
    : m_perPixelX(perPixel(logicalDpiX))
    , m_perPixelY(perPixel(logicalDpiY))
{
}

int TwipsScale::toPixelsX(double twips) const
{
    return pixelsClamped(twips / m_perPixelX);
}

int TwipsScale::toPixelsY(double twips) const
{
    return pixelsClamped(twips / m_perPixelY);
}

int TwipsScale::fromPixelsX(int pixels) const
{
    return roundClamped(pixels * m_perPixelX);
}

int TwipsScale::fromPixelsY(int pixels) const
{
    return roundClamped(pixels * m_perPixelY);
}

QPoint TwipsScale::toPixels(QPoint twips) const
{
    return { toPixelsX(twips.x()), toPixelsY(twips.y()) };
}

QSize TwipsScale::toPixels(QSize twips) const
{
    return { toPixelsX(twips.width()), toPixelsY(twips.height()) };
}

// Edges are converted, not the size, so that two rectangles that touch in
// twips still touch in pixels.
QRect TwipsScale::toPixels(const QRect &twips) const
{
    const int left = toPixelsX(twips.x());
    const int top = toPixelsY(twips.y());
    const int right = toPixelsX(double(twips.x()) + twips.width());
    const int bottom = toPixelsY(double(twips.y()) + twips.height());
    return QRect(left, top, right - left, bottom - top);
}

QPoint TwipsScale::fromPixels(QPoint pixels) const
{
    return { fromPixelsX(pixels.x()), fromPixelsY(pixels.y()) };
}

QSize TwipsScale::fromPixels(QSize pixels) const
{
    return { fromPixelsX(pixels.width()), fromPixelsY(pixels.height()) };
}

QString keptTwips(double openedTwips, int openedPixels, int nowPixels, int nowTwips)
{
    if (nowPixels == openedPixels && std::isfinite(openedTwips))
        return plainNumber(std::round(openedTwips));
    return QString::number(nowTwips);
}
