#include "alarm_windows.h"

#include "alert_window.h"
#include "services.h"
#include "status_list_window.h"
#include "window_registry.h"

using namespace Qt::StringLiterals;

void registerAlarmWindows(WindowRegistry &registry, Services &services, DesktopNotifier *notifier)
{
    registry.registerWindow(
        u"frmMessage"_s,
        [&services, notifier](QObject *) -> QObject * { return new AlertWindow(services, notifier); },
        [](QObject *window) {
            if (auto *alert = qobject_cast<AlertWindow *>(window))
                alert->present();
        });
    registry.registerWindow(
        u"frmAlarm"_s, [&services](QObject *) -> QObject * { return new StatusListWindow(services); },
        [](QObject *window) {
            if (auto *list = qobject_cast<StatusListWindow *>(window))
                list->fill();
        });
}
