#pragma once

#include <QString>

#include <functional>

// The item an alert or a notice is about, for whoever shows more than the
// text (a push to the phone opens its page). Empty when nobody said.
struct NoticeItem
{
    QString title;
    QString url;
    int slot = 0; // the timer slot, 1 to 10; 0 for none
};

// The desktop's own notifications, which reach the user whatever tray there
// is, or none, and on Wayland, where no window may keep itself on top.
class DesktopNotifier
{
public:
    virtual ~DesktopNotifier() = default;
    // The alert, urgent. There is one alert notification per slot: a newer
    // alert of the same slot takes its place, those of other slots stay, so
    // that alerts that fall together are all seen. showItem runs when the
    // user picks "このオークションを表示" on it.
    virtual void showAlert(const QString &text, std::function<void()> showItem, const NoticeItem &item = {})
        = 0;
    // The user closed the slot's alert window: its notification goes too.
    virtual void withdrawAlert(int slot) = 0;
    // News that is not an alert (an extended auction, the machine's clock).
    virtual void showNotice(const QString &text, const NoticeItem &item = {}) = 0;
};
