#pragma once

#include <QString>
#include <QtPlugin>

class AuctionTimer;

// What an alert writes into the alert window. The window implements it; the
// timers reach it through the window registry, so the rules run without a
// display.
class AlertTarget
{
public:
    virtual ~AlertTarget() = default;
    // The alert message (Label1).
    virtual void setMessage(const QString &text) = 0;
    // The snooze seconds offered to the user (Text1).
    virtual void setSnoozeOffer(const QString &text) = 0;
    // The timer the alert is for: the window shows its count, and a snooze
    // sets its lead, for as long as it holds the item it alerted for.
    virtual void setTimer(const AuctionTimer &timer) = 0;
    // A newer alert of another slot takes the window: this one's
    // notification stays, so that each alert is still seen.
    virtual void keepNotification() = 0;
};

#define LarkvaneAlertTarget_iid "org.larkvane.AlertTarget"
Q_DECLARE_INTERFACE(AlertTarget, LarkvaneAlertTarget_iid)
