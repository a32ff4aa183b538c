#pragma once

#include <QPoint>

// Window positions in twips against the primary screen's logical DPI, the
// same screen for reading and writing, so a stored position comes back to the
// very pixel it was taken from.
QPoint pixelsFromTwips(double leftTwips, double topTwips);
QPoint twipsFromPixels(QPoint pixels);
