#include "screen_twips.h"

#include <QGuiApplication>
#include <QScreen>

TwipsScale screenTwips()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return TwipsScale();
    return TwipsScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}
