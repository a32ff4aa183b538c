// What holds for the program's windows: they ask a tiling desktop to float
// them, open with the keyboard on a harmless control, press the default
// button on Return, close on Escape, name their fields for a screen reader,
// and read in a light and a dark theme.

#include "alarm_windows.h"
#include "alert_window.h"
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
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace {

const QString kTitle
    = u"【新品未使用】SEIKO セイコー プロスペックス ダイバースキューバ 腕時計 SBDC101 自動巻き"_s;

struct Windows
{
    TestServices t;
    Lifecycle lifecycle { t.services };

    Windows()
    {
        // One timer in use, so that the status list has row buttons and a
        // mark to start on and to name.
        t.timers.assign(1, { kTitle, u"https://auctions.yahoo.co.jp/jp/auction/x1"_s, u"N/A"_s },
            japanDateTime(QDate(2026, 12, 31), QTime(10, 0)));
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

QPalette darkPalette()
{
    QPalette p;
    for (const auto &[role, colour] : { std::pair { QPalette::Window, QColor(0x35, 0x35, 0x35) },
             { QPalette::Base, QColor(0x2a, 0x2a, 0x2a) }, { QPalette::Button, QColor(0x35, 0x35, 0x35) },
             { QPalette::WindowText, QColor(Qt::white) }, { QPalette::Text, QColor(Qt::white) },
             { QPalette::ButtonText, QColor(Qt::white) } })
        p.setColor(role, colour);
    return p;
}

void addEveryWindow()
{
    QTest::addColumn<QString>("window");
    for (const QString &name : { u"frmMessage"_s, u"frmConf"_s, u"frmbookmark"_s, u"frmByAddress"_s,
             u"frmItemList"_s, u"frmEnding"_s, u"frmVersion"_s, u"frmAlarm"_s })
        QTest::newRow(qPrintable(name)) << name;
}

QString accessibleName(QObject *o)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(o);
    return a ? a->text(QAccessible::Name) : QString();
}

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
    void asksToFloat();
    void opensOnAHarmlessControl_data();
    void opensOnAHarmlessControl();
    void returnPressesTheDefaultButton_data();
    void returnPressesTheDefaultButton();
    void namedAndClosedByEscape_data() { addEveryWindow(); }
    void namedAndClosedByEscape();
    void readsInALightAndADarkTheme_data();
    void readsInALightAndADarkTheme();
    void fixedColoursKeepTheirHueAndRead_data();
    void fixedColoursKeepTheirHueAndRead();
    void qtsOwnTextsAreJapanese();
    void statusListSaysWhichTimer_data();
    void statusListSaysWhichTimer();
    void theAlertOfFixedSizeShowsALongTitleWhole();
};

void WindowsTest::asksToFloat()
{
    // Fixed in size but the list window, whose fifty rows want the room a
    // user gives them.
    for (const QString &name : { u"frmMessage"_s, u"frmByAddress"_s, u"frmConf"_s, u"frmbookmark"_s,
             u"frmEnding"_s, u"frmVersion"_s, u"frmItemList"_s }) {
        Windows p;
        QWidget *w = p.open(name);
        QVERIFY(w);
        QCOMPARE(w->windowType(), Qt::Dialog);
        QVERIFY2((w->minimumSize() == w->maximumSize()) == (name != u"frmItemList"_s), qPrintable(name));
    }
}

void WindowsTest::opensOnAHarmlessControl_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("focus");
    QTest::newRow("alert: the snooze seconds") << u"frmMessage"_s << u"Text1"_s;
    QTest::newRow("settings: the lead") << u"frmConf"_s << u"Text2"_s;
    QTest::newRow("bookmarks: the list") << u"frmbookmark"_s << u"List1"_s;
    QTest::newRow("address box: the address") << u"frmByAddress"_s << u"txtAddress"_s;
    QTest::newRow("exit: キャンセル, not 終　了") << u"frmEnding"_s << u"Command2"_s;
    QTest::newRow("version: 閉じる") << u"frmVersion"_s << u"cmdClose"_s;
    QTest::newRow("status list: 閉 じ る, not timer 1's 解除") << u"frmAlarm"_s << u"cmdClose"_s;
}

void WindowsTest::opensOnAHarmlessControl()
{
    QFETCH(QString, window);
    QFETCH(QString, focus);
    Windows p;
    QWidget *w = p.open(window);
    QVERIFY(w);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
}

void WindowsTest::returnPressesTheDefaultButton_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("field"); // where Return is pressed
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::newRow("alert: snooze") << u"frmMessage"_s << u"Text1"_s << u"30"_s << u"retimer"_s;
    QTest::newRow("settings: 閉 じ る applies") << u"frmConf"_s << u"Text2"_s << u"60"_s << u"Command1"_s;
    QTest::newRow("bookmarks: 表　示") << u"frmbookmark"_s << u"List1"_s << QString() << u"btn1"_s;
    QTest::newRow("address box: 登録") << u"frmByAddress"_s << u"txtAddress"_s << u"x1"_s << u"cmdRegister"_s;
    QTest::newRow("exit: キャンセル") << u"frmEnding"_s << u"Command2"_s << QString() << u"Command2"_s;
}

void WindowsTest::returnPressesTheDefaultButton()
{
    QFETCH(QString, window);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, button);
    Windows p;
    QWidget *w = p.open(window);
    QVERIFY(w);
    auto *target = w->findChild<QWidget *>(field);
    QVERIFY(target);
    if (auto *edit = qobject_cast<QLineEdit *>(target))
        edit->setText(typed);
    auto *pressed = w->findChild<QPushButton *>(button);
    QVERIFY(pressed && pressed->isDefault());
    QSignalSpy clicks(pressed, &QPushButton::clicked);
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(clicks.size(), 1);
}

// Every field, list and picture named for a screen reader, and Escape as
// the close box.
void WindowsTest::namedAndClosedByEscape()
{
    QFETCH(QString, window);
    Windows p;
    const QPointer<QWidget> w = p.open(window);
    QVERIFY(w);
    for (QWidget *c : w->findChildren<QWidget *>()) {
        auto *label = qobject_cast<QLabel *>(c);
        if (c->isVisible()
            && ((label && !label->pixmap().isNull()) || qobject_cast<QLineEdit *>(c)
                || qobject_cast<QComboBox *>(c) || qobject_cast<QAbstractItemView *>(c)))
            QVERIFY2(!accessibleName(c).isEmpty(), qPrintable(c->objectName()));
    }
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.data(), Qt::Key_Escape);
    QVERIFY(!w || !w->isVisible());
    QVERIFY(p.t.messages.texts.isEmpty());
}

void WindowsTest::readsInALightAndADarkTheme_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("dark");
    for (const QString &name :
        { u"frmMessage"_s, u"frmEnding"_s, u"frmVersion"_s, u"frmConf"_s, u"frmAlarm"_s }) {
        QTest::newRow(qPrintable(name + u", light"_s)) << name << false;
        QTest::newRow(qPrintable(name + u", dark"_s)) << name << true;
    }
}

void WindowsTest::readsInALightAndADarkTheme()
{
    QFETCH(QString, window);
    QFETCH(bool, dark);
    const QPalette usual = QApplication::palette();
    if (dark)
        QApplication::setPalette(darkPalette());
    Windows p;
    QWidget *w = p.open(window);
    QApplication::setPalette(usual);
    QVERIFY(w);
    for (QWidget *c : w->findChildren<QWidget *>()) {
        const bool box = qobject_cast<QLineEdit *>(c);
        // A disabled field is greyed on purpose: it is not there to be read.
        if (!c->isVisible() || !c->isEnabled() || !(box || qobject_cast<QLabel *>(c)))
            continue;
        const QPalette &colours = c->palette();
        const double contrast
            = ReadableColour::contrast(colours.color(box ? QPalette::Base : QPalette::Window),
                colours.color(box ? QPalette::Text : QPalette::WindowText));
        QVERIFY2(contrast >= 3.0, qPrintable(c->objectName() + u" "_s + QString::number(contrast)));
    }
}

void WindowsTest::fixedColoursKeepTheirHueAndRead_data()
{
    QTest::addColumn<QColor>("fixed");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("kept");
    // The program's own colours stay as they are on a light theme.
    QTest::newRow("red, light") << QColor(255, 0, 0) << QColor(0xef, 0xef, 0xef) << true;
    QTest::newRow("dark green, light") << QColor(0, 64, 0) << QColor(0xef, 0xef, 0xef) << true;
    QTest::newRow("blue, Fusion dark") << QColor(0, 0, 255) << QColor(0x35, 0x35, 0x35) << false;
    QTest::newRow("dark grey, Adwaita dark") << QColor(64, 64, 64) << QColor(0x24, 0x24, 0x24) << false;
    QTest::newRow("red on the ended grey") << QColor(255, 0, 0) << QColor(192, 192, 192) << false;
}

void WindowsTest::fixedColoursKeepTheirHueAndRead()
{
    QFETCH(QColor, fixed);
    QFETCH(QColor, background);
    QFETCH(bool, kept);
    const QColor made = ReadableColour::on(background, fixed);
    QCOMPARE(made == fixed, kept);
    QVERIFY(ReadableColour::contrast(made, background) >= (kept ? 3.0 : 4.5));
    if (!kept && fixed.hsvSaturation() > 0)
        QVERIFY(qAbs(made.hslHue() - fixed.hslHue()) <= 2);
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

void WindowsTest::statusListSaysWhichTimer_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("a row's 解除") << u"TimerCut3"_s << u"タイマー３を解除"_s;
    QTest::newRow("row 10's 表示") << u"TimerView10"_s << u"タイマー10を表示"_s;
    QTest::newRow("a Yahoo! item read from a list (N/A): its mark") << u"ic_y1"_s << u"Yahoo!オークション"_s;
}

void WindowsTest::statusListSaysWhichTimer()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    Windows p;
    QWidget *list = p.open(u"frmAlarm"_s);
    QVERIFY(list);
    auto *c = list->findChild<QWidget *>(control);
    QVERIFY(c && c->isVisible());
    QCOMPARE(accessibleName(c), name);
    // A title the box cuts is read whole from its tip, as the text it is.
    auto *box = list->findChild<QLineEdit *>(u"TimerText1"_s);
    for (const QString &title : { kTitle, u"<b>太字</b><img src=\"x\">"_s }) {
        box->setText(title);
        QTextDocument tip;
        tip.setHtml(box->toolTip());
        QCOMPARE(tip.toPlainText(), title);
    }
}

void WindowsTest::theAlertOfFixedSizeShowsALongTitleWhole()
{
    // In the font a Japanese desktop gives its ＭＳ Ｐゴシック, whatever this
    // one's language.
    QFont::insertSubstitution(u"ＭＳ Ｐゴシック"_s, u"Noto Sans CJK JP"_s);
    const auto restore = qScopeGuard([] { QFont::removeSubstitutions(u"ＭＳ Ｐゴシック"_s); });
    Windows p;
    auto *alert = qobject_cast<AlertWindow *>(p.open(u"frmMessage"_s));
    QVERIFY(alert);
    // Titles of every length, over several lines: where the window's own size
    // hint guesses the wrapping at another width, a line goes missing.
    const QString titles = kTitle + u' ' + kTitle;
    for (int length = 4; length <= titles.size(); length += 3) {
        alert->setMessage(
            u"あと、およそ1分 12秒で 「"_s + titles.left(length) + u"」 の入札が終了します。"_s);
        QCOMPARE(alert->minimumSize(), alert->maximumSize());
        QVERIFY2(alert->height() >= alert->layout()->totalHeightForWidth(alert->width()),
            qPrintable(u"a title of "_s + QString::number(length)));
    }
}

QObject *makeWindowsTest()
{
    return new WindowsTest;
}

#include "windows_test.moc"
