#include "tray_commands.h"

#include "browser_host.h"
#include "lifecycle.h"
#include "services.h"
#include "tray.h"
#include "window_registry.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

TrayCommands::TrayCommands(Services &services, Lifecycle &lifecycle, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_lifecycle(lifecycle)
{
}

QStringList TrayCommands::iconRecoveryOrder()
{
    return { u"frmAlarm"_s, u"frmEnding"_s, u"frmbookmark"_s, u"frmMessage"_s, u"frmVersion"_s,
        u"frmConf"_s };
}

QStringList TrayCommands::openRecoveryOrder()
{
    return { u"frmMessage"_s, u"frmVersion"_s };
}

void TrayCommands::listenTo(const Tray &tray)
{
    connect(&tray, &Tray::iconActivated, this, &TrayCommands::iconActivated);
    connect(&tray, &Tray::openRequested, this, &TrayCommands::openWindow);
    connect(&tray, &Tray::byAddressRequested, this, &TrayCommands::registerByAddress);
    connect(&tray, &Tray::versionRequested, this, &TrayCommands::showVersion);
    connect(&tray, &Tray::exitRequested, this, &TrayCommands::exit);
}

void TrayCommands::iconActivated()
{
    showBrowser(iconRecoveryOrder());
}

void TrayCommands::openWindow()
{
    showBrowser(openRecoveryOrder());
}

bool TrayCommands::secondStart()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    showBrowser(openRecoveryOrder());
    return true;
}

void TrayCommands::openAddress(const QString &address)
{
    showBrowser(openRecoveryOrder());
    m_services.browser.navigate(address);
}

void TrayCommands::registerByAddress()
{
    // From the tray it stands alone: nothing needs the browser window for it.
    m_services.windows.open(u"frmByAddress"_s, nullptr);
}

void TrayCommands::showVersion()
{
    // Owned by no window: it blocks nothing, and the browser window stays as
    // it was (hidden, if it was).
    m_services.windows.open(u"frmVersion"_s, nullptr);
}

void TrayCommands::exit()
{
    m_lifecycle.exitFromTray();
}

void TrayCommands::showBrowser(const QStringList &recovery)
{
    // The tray is how users get back to a window that a modal dialog holds
    // fast; they get the browser window back, without the dialogs in its way.
    if (QGuiApplication::modalWindow())
        m_services.windows.closeInOrder(recovery);
    m_services.browser.showBrowser();
}
