#pragma once

#include <QObject>
#include <QStringList>

class Lifecycle;
class Tray;
struct Services;

// What the tray icon and its menu do.
class TrayCommands : public QObject
{
    Q_OBJECT
public:
    TrayCommands(Services &services, Lifecycle &lifecycle, QObject *parent = nullptr);

    // Windows closed before the browser window is shown while a modal dialog is
    // open: after a click on the icon, and after "ウィンドウを開く".
    static QStringList iconRecoveryOrder();
    static QStringList openRecoveryOrder();

    // Acts on the icon and the menu entries of `tray` from now on.
    void listenTo(const Tray &tray);

    // A second start of the program: where the desktop has no tray the
    // browser window comes forward (true), since nothing else leads back to
    // it; in a tray the copy stays as it is and the new one says so (false).
    bool secondStart();

public Q_SLOTS:
    void iconActivated();
    void openWindow();
    // An address the desktop hands over, shown in the browser window.
    void openAddress(const QString &address);
    void registerByAddress();
    void showVersion();
    void exit();

private:
    void showBrowser(const QStringList &recovery);

    Services &m_services;
    Lifecycle &m_lifecycle;
};
