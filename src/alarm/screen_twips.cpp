#include "screen_twips.h"

#include "twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

QPointF primaryDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return { 96.0, 96.0 };
    return { screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY() };
}

} // namespace

QPoint pixelsFromTwips(double leftTwips, double topTwips)
{
    const QPointF dpi = primaryDpi();
    return { Twips::toPixels(leftTwips, dpi.x()), Twips::toPixels(topTwips, dpi.y()) };
}

QPoint twipsFromPixels(QPoint pixels)
{
    const QPointF dpi = primaryDpi();
    return { Twips::fromPixels(pixels.x(), dpi.x()), Twips::fromPixels(pixels.y(), dpi.y()) };
}
