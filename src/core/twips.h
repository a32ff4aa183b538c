#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// Window geometry is kept in twips (1/1440 inch), as the settings file has
// always held it, and turned into pixels with the screen's logical
// resolution: 15 twips a pixel at 96 dpi. Every window converts through this
// one scale, and a pixel position survives pixels -> twips -> pixels.
class TwipsScale
{
public:
    static constexpr double kPerInch = 1440.0;
    // A hand-edited settings file may hold anything; beyond this many pixels
    // either way a value is damage, not a place on a screen, and no screen
    // arithmetic overflows inside it.
    static constexpr double kMaxPixels = 1.0e7;

    // A resolution of 0 or less (none reported) counts as 96 dpi.
    explicit TwipsScale(double logicalDpiX = 96.0, double logicalDpiY = 96.0);

    double perPixelX() const { return m_perPixelX; }
    double perPixelY() const { return m_perPixelY; }

    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;
    int fromPixelsX(int pixels) const;
    int fromPixelsY(int pixels) const;

    QPoint toPixels(QPoint twips) const;
    QSize toPixels(QSize twips) const;
    QRect toPixels(const QRect &twips) const;
    QPoint fromPixels(QPoint pixels) const;
    QSize fromPixels(QSize pixels) const;

private:
    double m_perPixelX;
    double m_perPixelY;
};

// What to store for one axis of a window opened at `openedTwips` (shown at
// `openedPixels`) that is now at `nowPixels`, which is `nowTwips`. A pixel is
// about 15 twips: an axis the user did not touch keeps the twips it was
// opened with, so the stored geometry does not creep by a rounding at every
// opening.
QString keptTwips(double openedTwips, int openedPixels, int nowPixels, int nowTwips);
