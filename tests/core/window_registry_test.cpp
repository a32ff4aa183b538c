#include "window_registry.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A window as the program makes them: deleted when closed.
class Window : public QWidget
{
public:
    explicit Window(QStringList *log = nullptr)
        : m_log(log)
    {
        setAttribute(Qt::WA_DeleteOnClose);
    }

protected:
    void closeEvent(QCloseEvent *e) override
    {
        if (m_log)
            *m_log << objectName();
        e->accept();
    }

private:
    QStringList *m_log;
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

const QStringList kExitOrder = { u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s, u"frmTask"_s, u"frmbookmark"_s,
    u"frmMessage"_s, u"frmWeb"_s };

} // namespace

class WindowRegistryTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void createsOnceAndOnlyWhenAsked()
    {
        WindowRegistry registry;
        int made = 0;
        registry.registerWindow(u"frmAlarm"_s, [&made](QObject *) { return ++made, new Window; });
        QSignalSpy created(&registry, &WindowRegistry::windowCreated);
        QVERIFY(!registry.find(u"frmAlarm"_s));
        QVERIFY(!registry.ensure(u"frmNobody"_s));
        QObject *w = registry.ensure(u"frmAlarm"_s);
        QCOMPARE(registry.ensure(u"frmAlarm"_s), w);
        QCOMPARE(made, 1);
        QCOMPARE(created.count(), 1);
        QCOMPARE(w->objectName(), u"frmAlarm"_s);
        QVERIFY(!registry.isOpen(u"frmAlarm"_s)); // touched, not shown
        delete w;
        QVERIFY(!registry.find(u"frmAlarm"_s));
    }

    void openUsesTheWindowsOpenerElseTheDefault()
    {
        WindowRegistry registry;
        QStringList opened;
        registry.registerWindow(u"frmWeb"_s, [](QObject *) { return new Window; });
        registry.registerWindow(
            u"frmConf"_s, [](QObject *) { return new Window; },
            [&](QObject *w) { opened << w->objectName(); });
        // Every default step must reach the window; one that cannot (a
        // method that is no slot) only warns.
        QTest::failOnWarning(QRegularExpression(u"invokeMethod"_s));
        std::unique_ptr<QObject> web(registry.open(u"frmWeb"_s));
        std::unique_ptr<QObject> conf(registry.open(u"frmConf"_s));
        QVERIFY(registry.isOpen(u"frmWeb"_s));
        QVERIFY(!registry.isOpen(u"frmConf"_s));
        QCOMPARE(opened, QStringList { u"frmConf"_s });

        registry.setDefaultOpener([&](QObject *w) { opened << u"default "_s + w->objectName(); });
        QCOMPARE(registry.open(u"frmWeb"_s), web.get());
        QCOMPARE(opened, (QStringList { u"frmConf"_s, u"default frmWeb"_s }));
    }

    void closesInTheOrderGiven_data()
    {
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("closed");
        QTest::newRow("all open") << QStringList(kExitOrder.crbegin(), kExitOrder.crend()) << kExitOrder
                                  << kExitOrder;
        QTest::newRow("closed ones skipped") << QStringList { u"frmWeb"_s, u"frmMessage"_s } << kExitOrder
                                             << QStringList { u"frmMessage"_s, u"frmWeb"_s };
        QTest::newRow("unknown and repeated names")
            << QStringList { u"frmAlarm"_s } << QStringList { u"frmNobody"_s, u"frmAlarm"_s, u"frmAlarm"_s }
            << QStringList { u"frmAlarm"_s };
    }
    void closesInTheOrderGiven()
    {
        QFETCH(QStringList, opened);
        QFETCH(QStringList, order);
        QFETCH(QStringList, closed);
        WindowRegistry registry;
        QStringList log;
        for (const QString &name : kExitOrder)
            registry.registerWindow(name, [&log](QObject *) { return new Window(&log); });
        for (const QString &name : opened)
            registry.open(name);
        registry.closeInOrder(order);
        QCOMPARE(log, closed);
        for (const QString &name : opened)
            QVERIFY2(!registry.isOpen(name), qPrintable(name));
        flushDeletes();
    }

    // Between close and the deferred delete the window still exists; the
    // registry must treat it as gone, or a re-open in the same handler would
    // show a window about to vanish.
    void aClosedWindowIsForgottenAtOnce()
    {
        WindowRegistry registry;
        registry.registerWindow(u"frmMessage"_s, [](QObject *) { return new Window; });
        QPointer<QObject> first = registry.open(u"frmMessage"_s);
        registry.close(u"frmMessage"_s);
        QVERIFY(first && !registry.find(u"frmMessage"_s));
        std::unique_ptr<QObject> second(registry.open(u"frmMessage"_s));
        QVERIFY(second.get() != first.data());
        flushDeletes();
        QVERIFY(!first);
        QCOMPARE(registry.find(u"frmMessage"_s), second.get());
    }

    void aWindowClosedByTheUserIsGone()
    {
        WindowRegistry registry;
        registry.registerWindow(u"frmAlarm"_s, [](QObject *) { return new Window; });
        qobject_cast<QWidget *>(registry.open(u"frmAlarm"_s))->close(); // its own close button
        QVERIFY(!registry.isOpen(u"frmAlarm"_s));
        flushDeletes();
        QVERIFY(!registry.find(u"frmAlarm"_s));
    }
};

int runWindowRegistryTest(int argc, char **argv)
{
    WindowRegistryTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "window_registry_test.moc"
