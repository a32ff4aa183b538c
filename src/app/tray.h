#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QAction;
class QIcon;

// The notification-area icon with the tip "Larkvane" and its menu mnuMenu.
// It only reports what the user chose; TrayCommands acts on it.
class Tray : public QObject
{
    Q_OBJECT
public:
    explicit Tray(const QIcon &icon, QObject *parent = nullptr);
    ~Tray() override;

    QSystemTrayIcon *icon() const { return m_icon; }
    QMenu *menu() const { return m_menu; }

    void show();
    void remove();

    // Whether the icon sits on a StatusNotifierItem host, whose activate
    // request is its one way to open a window; on an XEmbed tray a single
    // click is no such request. Found out as the icon is made.
    bool onStatusNotifierHost() const { return m_statusNotifier; }
    void setOnStatusNotifierHost(bool on) { m_statusNotifier = on; }

Q_SIGNALS:
    // A left double-click, or the activate request of a StatusNotifierItem
    // host (KDE, GNOME's AppIndicator extension).
    void iconActivated();
    void openRequested();
    void byAddressRequested();
    void versionRequested();
    void exitRequested();

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    // A top-level widget: whoever deletes the remaining windows at exit may
    // take it first.
    QPointer<QMenu> m_menu;
    QSystemTrayIcon *m_icon;
    bool m_statusNotifier = false;
};
