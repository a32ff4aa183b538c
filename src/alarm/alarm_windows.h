#pragma once

class DesktopNotifier;
struct Services;
class WindowRegistry;

// Registers frmMessage (the alert window; its opener shows it without taking
// focus, and puts it into a desktop notification where there is a notifier)
// and frmAlarm (the status list; its opener fills it, also when it is
// already open).
void registerAlarmWindows(WindowRegistry &registry, Services &services, DesktopNotifier *notifier = nullptr);
