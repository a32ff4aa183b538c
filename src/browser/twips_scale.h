#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

// Window geometry is kept in twips (1/1440 inch) and turned into pixels with
// the screen's logical resolution: 15 twips a pixel at 96 dpi.
class TwipsScale
{
public:
    static constexpr double kPerInch = 1440.0;

    explicit TwipsScale(double logicalDpiX = 96.0, double logicalDpiY = 96.0);
    // The widget's screen, else the primary screen, else 96 dpi.
    static TwipsScale of(const QWidget *widget);
    static TwipsScale of(const QScreen *screen);

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
