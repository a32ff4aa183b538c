#pragma once

#include <QString>

class MessageBox;

// Whether start-up opens the browser window: unless the user chose to start
// in the tray, and always when the desktop has no notification area, where
// the tray icon would leave the program unreachable.
bool showsBrowserAtStart(const QString &chk1, bool trayAvailable);

// The message of a second start. Where no one can see a window (the
// offscreen and minimal platforms) a box would wait for ever for its OK, so
// the text goes to the error output instead.
void tellAlreadyRunning(MessageBox &messages);
