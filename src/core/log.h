#pragma once

#include <QLoggingCategory>

// What the program tells someone who asks why an alarm did or did not ring.
// Quiet by default (warnings and above only); every line is switched on with
// QT_LOGGING_RULES="larkvane.*=true", or one area with e.g. "larkvane.alarm=true".
//
// larkvane.state   the slots as start-up restored them, the settings file read and written
// larkvane.alarm   the timers: slots set, late ticks, alerts, ends, the sound, the pages
//                  read again near an end and what they said
// larkvane.browser page fetches, what a page was read as, registrations
// larkvane.tray    the notification area, start-up and the ways the program ends
// larkvane.desktop desktop notifications, keeping the machine awake
// larkvane.notify  the alert pushed to the phone (ntfy) and mailed: each try and its answer
Q_DECLARE_LOGGING_CATEGORY(lcState)
Q_DECLARE_LOGGING_CATEGORY(lcAlarm)
Q_DECLARE_LOGGING_CATEGORY(lcBrowser)
Q_DECLARE_LOGGING_CATEGORY(lcTray)
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)
Q_DECLARE_LOGGING_CATEGORY(lcNotify)
