#include "twips_scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

TwipsScale::TwipsScale(double logicalDpiX, double logicalDpiY)
    : m_perPixelX(kPerInch / (logicalDpiX > 0 ? logicalDpiX : 96.0))
    , m_perPixelY(kPerInch / (logicalDpiY > 0 ? logicalDpiY : 96.0))
{
}

TwipsScale TwipsScale::of(const QWidget *widget)
{
    return of(widget ? widget->screen() : nullptr);
}

TwipsScale TwipsScale::of(const QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return TwipsScale();
    return TwipsScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

// Rounding half away from zero keeps a negative position the mirror of a
// positive one (a window left of the main screen comes back where it was).
int TwipsScale::toPixelsX(double twips) const
{
    return int(std::lround(twips / m_perPixelX));
}

int TwipsScale::toPixelsY(double twips) const
{
    return int(std::lround(twips / m_perPixelY));
}

int TwipsScale::fromPixelsX(int pixels) const
{
    return int(std::lround(pixels * m_perPixelX));
}

int TwipsScale::fromPixelsY(int pixels) const
{
    return int(std::lround(pixels * m_perPixelY));
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
