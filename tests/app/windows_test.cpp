// What holds for every window of the program: it asks a tiling desktop to
// float it, opens with the keyboard on a harmless control, presses its
// default button on Return and closes on Escape, names its fields for a
// screen reader, and reads in a light and a dark theme.

#include "alarm_windows.h"
#include "app_windows.h"
#include "batch_windows.h"
#include "bookmark_window.h"
#include "fake_page_fetcher.h"
#include "japanese.h"
#include "lifecycle.h"
#include "readable_colour.h"
#include "settings_dialog.h"
#include "test_services.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kTitle
    = u"【新品未使用】SEIKO セイコー プロスペックス ダイバースキューバ 腕時計 SBDC101 自動巻き"_s;

struct Program
{
    TestServices t;
    Lifecycle lifecycle { t.services };

    Program()
    {
        lifecycle.setQuit([](int) {});
        registerAppWindows(t.windows, lifecycle);
        registerAlarmWindows(t.windows, t.services);
        registerSettingsWindows(t.windows, t.services);
        registerBookmarkWindows(t.windows, t.services);
        registerBatchWindows(t.windows, t.services, [] { return std::make_unique<FakePageFetcher>(); });
    }

    // Opened as the program opens it, and given the keyboard as a click on it
    // would (the alert comes up without taking it).
    QWidget *open(const QString &name)
    {
        auto *w = qobject_cast<QWidget *>(t.windows.open(name, nullptr));
        if (w && QTest::qWaitForWindowExposed(w)) {
            w->activateWindow();
            if (!QTest::qWaitForWindowActive(w))
                qWarning("%s did not become active", qPrintable(name));
        }
        return w;
    }
};

} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            delete w;
    }
    void asksToFloat_data();
    void asksToFloat();
    void qtsOwnTextsAreJapanese();
};

void WindowsTest::asksToFloat_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("fixedSize");
    QTest::newRow("alert") << u"frmMessage"_s << true;
    QTest::newRow("address box") << u"frmByAddress"_s << true;
    QTest::newRow("settings") << u"frmConf"_s << true;
    QTest::newRow("bookmarks") << u"frmbookmark"_s << true;
    QTest::newRow("exit") << u"frmEnding"_s << true;
    QTest::newRow("version") << u"frmVersion"_s << true;
    // Fifty rows want the room a user gives them.
    QTest::newRow("the page's items") << u"frmItemList"_s << false;
}

void WindowsTest::asksToFloat()
{
    QFETCH(QString, window);
    QFETCH(bool, fixedSize);
    Program p;
    QWidget *w = p.open(window);
    QVERIFY(w);
    QCOMPARE(w->windowType(), Qt::Dialog);
    QCOMPARE(w->minimumSize() == w->maximumSize(), fixedSize);
}

void WindowsTest::qtsOwnTextsAreJapanese()
{
    QVERIFY2(Japanese::speakJapanese(), "qt6-translations-l10n is not installed");
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList texts;
    for (const QAction *a : menu->actions())
        texts << a->text();
    const QString all = texts.join(u'|');
    QVERIFY2(all.contains(u"元に戻す"_s) && all.contains(u"切り取り"_s), qPrintable(all));
}

QObject *makeWindowsTest()
{
    return new WindowsTest;
}

#include "windows_test.moc"
