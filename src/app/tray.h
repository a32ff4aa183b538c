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

Q_SIGNALS:
    // A left double-click, or the left click that StatusNotifierItem hosts
    // (KDE, GNOME's AppIndicator extension) report instead.
    void iconActivated();
    void openRequested();
    void versionRequested();
    void exitRequested();

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    // A top-level widget: whoever deletes the remaining windows at exit may
    // take it first.
    QPointer<QMenu> m_menu;
    QSystemTrayIcon *m_icon;
};
