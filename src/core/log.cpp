#include "log.h"

Q_LOGGING_CATEGORY(lcState, "larkvane.state", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAlarm, "larkvane.alarm", QtWarningMsg)
Q_LOGGING_CATEGORY(lcBrowser, "larkvane.browser", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTray, "larkvane.tray", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDesktop, "larkvane.desktop", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNotify, "larkvane.notify", QtWarningMsg)
