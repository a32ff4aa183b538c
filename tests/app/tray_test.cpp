#include "app_icon.h"
#include "app_windows.h"
#include "lifecycle.h"
#include "recording_window.h"
#include "test_services.h"
#include "tray.h"
#include "tray_commands.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QSystemTrayIcon::ActivationReason)

namespace {

QAction *entry(const Tray &tray, const QString &name)
{
    return tray.menu()->findChild<QAction *>(name);
}

} // namespace

class TrayTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { deleteAllWindows(); }
    void iconAndMenu();
    void iconActivation_data();
    void iconActivation();
    void menuEntries_data();
    void menuEntries();
    void showingPastModalDialog_data();
    void showingPastModalDialog();
};

void TrayTest::iconAndMenu()
{
    Tray tray(larkvaneIcon());
    QCOMPARE(tray.icon()->toolTip(), u"Larkvane"_s);
    QVERIFY2(!tray.icon()->icon().pixmap(22, 22).isNull(), "the icon resource is linked in");
    QCOMPARE(tray.icon()->contextMenu(), tray.menu());
    QCOMPARE(tray.menu()->objectName(), u"mnuMenu"_s);

    QStringList seen;
    for (QAction *action : tray.menu()->actions())
        seen << action->objectName() + u'|' + (action->isSeparator() ? u"-"_s : action->text());
    QCOMPARE(seen,
        (QStringList { u"mnuOpen|ウィンドウを開く"_s, u"mnuByAddress|URL・オークションIDで登録…"_s,
            u"mnuVersion|ﾊﾞｰｼﾞｮﾝ情報"_s, u"mnuLine|-"_s, u"mnuEnd|終了"_s }));
}

void TrayTest::iconActivation_data()
{
    QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
    QTest::addColumn<bool>("statusNotifier");
    QTest::addColumn<int>("shown");
    QTest::newRow("left double-click") << QSystemTrayIcon::DoubleClick << false << 1;
    QTest::newRow("single click on an XEmbed tray") << QSystemTrayIcon::Trigger << false << 0;
    QTest::newRow("activate on a StatusNotifierItem host") << QSystemTrayIcon::Trigger << true << 1;
    QTest::newRow("right button: the menu only") << QSystemTrayIcon::Context << false << 0;
    QTest::newRow("middle button") << QSystemTrayIcon::MiddleClick << true << 0;
    QTest::newRow("unknown") << QSystemTrayIcon::Unknown << false << 0;
}

void TrayTest::iconActivation()
{
    QFETCH(QSystemTrayIcon::ActivationReason, reason);
    QFETCH(bool, statusNotifier);
    QFETCH(int, shown);
    TestServices t;
    Lifecycle lifecycle(t.services);
    Tray tray(larkvaneIcon());
    TrayCommands commands(t.services, lifecycle);
    commands.listenTo(tray);
    tray.setOnStatusNotifierHost(statusNotifier);

    Q_EMIT tray.icon()->activated(reason);
    QCOMPARE(t.browser.shown, shown);
}

void TrayTest::menuEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("browserShown");
    QTest::addColumn<bool>("versionOpen");
    QTest::addColumn<bool>("ended");
    QTest::newRow("open the window") << u"mnuOpen"_s << 1 << false << false;
    QTest::newRow("version, owned by no window") << u"mnuVersion"_s << 0 << true << false;
    QTest::newRow("exit without asking") << u"mnuEnd"_s << 0 << false << true;
}

void TrayTest::menuEntries()
{
    QFETCH(QString, entry);
    QFETCH(int, browserShown);
    QFETCH(bool, versionOpen);
    QFETCH(bool, ended);
    TestServices t;
    QStringList log;
    Lifecycle lifecycle(t.services);
    QList<int> quits;
    lifecycle.setQuit([&](int code) { quits << code; });
    registerAppWindows(t.windows, lifecycle);
    registerRecording(t.windows, u"frmWeb"_s, log);
    QWidget *browser = qobject_cast<QWidget *>(t.windows.open(u"frmWeb"_s));
    browser->hide();
    Tray tray(larkvaneIcon());
    TrayCommands commands(t.services, lifecycle);
    commands.listenTo(tray);

    ::entry(tray, entry)->trigger();

    QCOMPARE(t.browser.shown, browserShown);
    QCOMPARE(t.windows.isOpen(u"frmVersion"_s), versionOpen);
    if (versionOpen) {
        QCOMPARE(t.windows.find<QWidget>(u"frmVersion"_s)->parentWidget(), nullptr);
        QVERIFY(!browser->isVisible());
    }
    QCOMPARE(quits, ended ? QList<int> { 0 } : QList<int> {});
    QCOMPARE(lifecycle.hasClosed(), ended);
    // The exit closes the browser window (hidden or not) before the store.
    QCOMPARE(log, ended ? QStringList { u"frmWeb"_s } : QStringList {});
}

void TrayTest::showingPastModalDialog_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<QString>("modal");
    QTest::addColumn<QStringList>("closed");

    // Open besides the dialog in every row: the status list, the alert window
    // and the bookmarks window.
    QTest::newRow("icon, settings dialog open")
        << false << u"frmConf"_s
        << QStringList { u"frmAlarm"_s, u"frmbookmark"_s, u"frmMessage"_s, u"frmConf"_s };
    QTest::newRow("icon, version dialog open")
        << false << u"frmVersion"_s
        << QStringList { u"frmAlarm"_s, u"frmbookmark"_s, u"frmMessage"_s, u"frmVersion"_s };
    QTest::newRow("icon, no dialog open") << false << QString() << QStringList();
    QTest::newRow("open entry, version dialog open")
        << true << u"frmVersion"_s << QStringList { u"frmMessage"_s, u"frmVersion"_s };
    QTest::newRow("open entry, no dialog open") << true << QString() << QStringList();
}

void TrayTest::showingPastModalDialog()
{
    QFETCH(bool, fromMenu);
    QFETCH(QString, modal);
    QFETCH(QStringList, closed);
    TestServices t;
    Lifecycle lifecycle(t.services);
    QStringList log;
    QWidget owner;
    owner.show();
    for (const QString &name :
        { u"frmAlarm"_s, u"frmbookmark"_s, u"frmMessage"_s, u"frmConf"_s, u"frmVersion"_s, u"frmEnding"_s })
        registerRecording(t.windows, name, log, {}, name == modal ? &owner : nullptr);
    for (const QString &name : { u"frmAlarm"_s, u"frmbookmark"_s, u"frmMessage"_s })
        t.windows.open(name);
    if (!modal.isEmpty())
        t.windows.open(modal);

    TrayCommands commands(t.services, lifecycle);
    if (fromMenu)
        commands.openWindow();
    else
        commands.iconActivated();

    QCOMPARE(log, closed);
    QCOMPARE(t.browser.shown, 1);
}

#include "tray_test.moc"
QObject *makeTrayTest()
{
    return new TrayTest;
}
