#pragma once

struct Services;
class WindowRegistry;

// Registers frmMessage (the alert window; its opener shows it without taking
// focus) and frmAlarm (the status list; its opener fills it, also when it is
// already open).
void registerAlarmWindows(WindowRegistry &registry, Services &services);
