#pragma once

#include "alert_target.h"
#include "box_guard.h"

#include <QWidget>

class AuctionTimer;
class DesktopNotifier;
struct Services;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// frmMessage: the warning that an auction is about to end. It floats above
// every other window while it is open, shows what its timer has left, and
// offers to show the item, to warn once more a chosen number of seconds
// before the end, or to close. It has no parent, so a window-modal dialog of
// the browser window never blocks it.
class AlertWindow : public QWidget, public AlertTarget
{
    Q_OBJECT
    Q_INTERFACES(AlertTarget)
public:
    // Creating the window is its load: on top, at its stored position, its
    // own count running. With a notifier, the alert is also a desktop
    // notification for as long as the window is open.
    explicit AlertWindow(Services &services, DesktopNotifier *notifier = nullptr);

    void setMessage(const QString &text) override;
    void setSnoozeOffer(const QString &text) override;
    void setTimer(const AuctionTimer &timer) override;
    void keepNotification() override { m_keepNotification = true; }

    // Shows the window raised and asking for attention, without taking the
    // keyboard from whatever the user is typing into; on Wayland, which lets
    // no window stay on top, it asks to be activated instead.
    void present();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void countDown();
    void showAuction();
    void snooze();
    void placeAtStoredPosition();

    Services &m_services;
    DesktopNotifier *m_notifier = nullptr;
    BoxGuard m_boxes { *this };
    QLabel *m_message = nullptr;
    QLabel *m_remaining = nullptr;
    QLineEdit *m_snoozeSeconds = nullptr;
    QTimer *m_timer = nullptr;
    // The timer alerted for, and the item it held then: once it holds
    // another (or none), the window counts on by itself.
    const AuctionTimer *m_auction = nullptr;
    QString m_priceLine;
    int m_slot = 0;
    bool m_keepNotification = false;
    quint64 m_generation = 0;
    QString m_url;
    QString m_title;
    qint64 m_left = 0;
    // Where the window was put, in twips as stored and in pixels.
    QPointF m_openedTwips;
    QPoint m_openedPixels;
};
