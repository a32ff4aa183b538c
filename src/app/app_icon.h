#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon, compiled in, so the tray and the windows never depend
// on what the working folder holds.
QIcon larkvaneIcon();

// The version dialog's logo: the icon and the name, 235 x 28 logical pixels,
// in colours that read on `background`.
QPixmap larkvaneLogo(const QColor &background, qreal devicePixelRatio = 1.0);
