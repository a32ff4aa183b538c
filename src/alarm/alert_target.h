#pragma once

#include <QString>
#include <QtPlugin>

// What the countdown writes into the alert window when a slot's lead time
// comes. The window implements it; the countdown reaches it through the
// window registry, so the rules run without a display.
class AlertTarget
{
public:
    virtual ~AlertTarget() = default;
    // The alert message (Label1).
    virtual void setMessage(const QString &text) = 0;
    // The snooze seconds offered to the user (Text1).
    virtual void setSnoozeOffer(const QString &text) = 0;
    // The seconds the window counts down by itself (zanT).
    virtual void setSecondsLeft(const QString &text) = 0;
};

#define LarkvaneAlertTarget_iid "org.larkvane.AlertTarget"
Q_DECLARE_INTERFACE(AlertTarget, LarkvaneAlertTarget_iid)
