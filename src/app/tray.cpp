#include "tray.h"

#include "log.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QIcon>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace {

QAction *addEntry(QMenu *menu, const QString &name, const QString &text)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(name);
    return action;
}

// What Qt asks too when it chooses between a StatusNotifierItem and an XEmbed
// icon.
bool statusNotifierHostRegistered()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = u"org.kde.StatusNotifierWatcher"_s;
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(service).value())
        return false;
    QDBusInterface watcher(service, u"/StatusNotifierWatcher"_s, service, bus);
    return watcher.property("IsStatusNotifierHostRegistered").toBool();
}

} // namespace

Tray::Tray(const QIcon &icon, QObject *parent)
    : QObject(parent)
    , m_menu(new QMenu(u"menu"_s))
    , m_icon(new QSystemTrayIcon(icon, this))
    , m_statusNotifier(statusNotifierHostRegistered())
{
    m_menu->setObjectName(u"mnuMenu"_s);
    connect(addEntry(m_menu, u"mnuOpen"_s, u"ウィンドウを開く"_s), &QAction::triggered, this,
        &Tray::openRequested);
    connect(addEntry(m_menu, u"mnuByAddress"_s, u"URL・オークションIDで登録…"_s), &QAction::triggered, this,
        &Tray::byAddressRequested);
    connect(addEntry(m_menu, u"mnuVersion"_s, u"ﾊﾞｰｼﾞｮﾝ情報"_s), &QAction::triggered, this,
        &Tray::versionRequested);
    m_menu->addSeparator()->setObjectName(u"mnuLine"_s);
    connect(addEntry(m_menu, u"mnuEnd"_s, u"終了"_s), &QAction::triggered, this, &Tray::exitRequested);

    m_icon->setToolTip(u"Larkvane"_s);
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, &Tray::onActivated);
}

Tray::~Tray()
{
    // The icon refers to the menu; let it go first.
    delete m_icon;
    delete m_menu.data();
}

void Tray::show()
{
    m_icon->show();
    if (QSystemTrayIcon::isSystemTrayAvailable())
        qCInfo(lcTray) << "tray icon shown";
    else
        qCInfo(lcTray) << "no notification area yet: the icon waits for one (the timers run all the same)";
}

void Tray::remove()
{
    m_icon->hide();
    qCInfo(lcTray) << "tray icon removed";
}

void Tray::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // The right button opens the context menu, which Qt does by itself.
    if (reason == QSystemTrayIcon::DoubleClick || (reason == QSystemTrayIcon::Trigger && m_statusNotifier))
        Q_EMIT iconActivated();
}
