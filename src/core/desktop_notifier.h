#pragma once

#include <QString>

#include <functional>

// The item an alert or a notice is about, for whoever shows more than the
// text (a push to the phone opens its page). Empty when nobody said.
struct NoticeItem
{
    QString title;
    QString url;
};

// The desktop's own notifications, which reach the user whatever tray there
// is, or none, and on Wayland, where no window may keep itself on top.
class DesktopNotifier
{
public:
    virtual ~DesktopNotifier() = default;
    // The alert, urgent. There is one alert notification at a time: a newer
    // alert takes the older one's place. showItem runs when the user picks
    // "このオークションを表示" on it.
    virtual void showAlert(const QString &text, std::function<void()> showItem, const NoticeItem &item = {})
        = 0;
    // The alert's window has closed: its notification goes as well.
    virtual void withdrawAlert() = 0;
    // News that is not an alert (an extended auction, the machine's clock).
    virtual void showNotice(const QString &text, const NoticeItem &item = {}) = 0;
};
