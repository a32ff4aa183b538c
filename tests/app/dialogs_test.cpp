#include "app_windows.h"
#include "lifecycle.h"
#include "recording_window.h"
#include "test_services.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// A test's program: services over doubles, the two dialogs registered, and
// recording stand-ins for the other windows.
struct Program
{
    TestServices t;
    QStringList log;
    Lifecycle lifecycle { t.services };
    QList<int> quits;

    Program()
    {
        lifecycle.setTrayRemover([this] { log << u"(icon removed)"_s; });
        lifecycle.setQuit([this](int code) { quits << code; });
        registerAppWindows(t.windows, lifecycle);
        for (const QString &name :
            { u"frmWeb"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmMessage"_s, u"frmbookmark"_s })
            registerRecording(t.windows, name, log);
    }

    QWidget *open(const QString &name, QObject *owner = nullptr)
    {
        return qobject_cast<QWidget *>(t.windows.open(name, owner));
    }
};

template <class T> T *child(QWidget *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qWarning("no %s", qPrintable(name));
    return found;
}

// A click delivered as the window system would deliver it, so that a window
// blocked by a modal dialog does not get it.
void systemClick(QPushButton *button)
{
    QWindow *window = button->window()->windowHandle();
    QTest::mouseClick(window, Qt::LeftButton, {}, button->mapTo(button->window(), button->rect().center()));
}

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { deleteAllWindows(); }
    void confirmationTexts_data();
    void confirmationTexts();
    void confirmationLayout();
    void cancelChangesNothing();
    void exitButtonEndsEverythingInOrder();
    void versionDialog();
    void dialogsAreWindowModalAndCentred_data();
    void dialogsAreWindowModalAndCentred();
    void alertStillUsableWhileDialogOpen_data();
    void alertStillUsableWhileDialogOpen();
};

void DialogsTest::confirmationTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("question") << u"Label1"_s << u"Larkvaneを終了してよろしいですか？"_s;
    QTest::newRow("how to end everything")
        << u"Label2"_s << u"すべてを終了する場合は終了ボタンを押してください。"_s;
    QTest::newRow("how to keep the timers")
        << u"Label3"_s << u"タスクバーに収納してタスク内でタイマーを継続する場合は"_s;
    QTest::newRow("then the close box")
        << u"Label4"_s << u"キャンセル後にウィンドウ右上の×ボタンを押してください。"_s;
    QTest::newRow("exit button") << u"Command1"_s << u"終　了"_s;
    QTest::newRow("cancel button") << u"Command2"_s << u"キャンセル"_s;
}

void DialogsTest::confirmationTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    Program p;
    QWidget *dialog = p.open(u"frmEnding"_s);
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), u"frmEnding"_s);
    QCOMPARE(dialog->windowTitle(), u"Larkvane"_s);
    if (auto *label = dialog->findChild<QLabel *>(name)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    } else {
        auto *button = child<QPushButton>(dialog, name);
        QVERIFY(button);
        QCOMPARE(button->text(), text);
    }
}

void DialogsTest::confirmationLayout()
{
    Program p;
    QWidget *dialog = p.open(u"frmEnding"_s);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    // Texts top to bottom, the question in red.
    int previousBottom = -1;
    for (const QString &name : { u"Label1"_s, u"Label2"_s, u"Label3"_s, u"Label4"_s }) {
        auto *label = child<QLabel>(dialog, name);
        QVERIFY(label);
        QVERIFY2(label->y() > previousBottom, qPrintable(name));
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(name + u" is clipped"_s));
        previousBottom = label->geometry().bottom();
    }
    QCOMPARE(child<QLabel>(dialog, u"Label1"_s)->palette().color(QPalette::WindowText), QColor(Qt::red));

    // Side by side below the texts, exit on the left and first in the tab order.
    auto *exitButton = child<QPushButton>(dialog, u"Command1"_s);
    auto *cancelButton = child<QPushButton>(dialog, u"Command2"_s);
    QVERIFY(exitButton->y() > previousBottom);
    QCOMPARE(exitButton->y(), cancelButton->y());
    QVERIFY(exitButton->geometry().right() < cancelButton->x());
    QCOMPARE(exitButton->nextInFocusChain(), cancelButton);
}

void DialogsTest::cancelChangesNothing()
{
    Program p;
    QWidget *browser = p.open(u"frmWeb"_s);
    p.open(u"frmMessage"_s);
    p.open(u"frmAlarm"_s);
    p.t.arm(3, 600, u"壺"_s);
    QWidget *dialog = p.open(u"frmEnding"_s, browser);
    QPointer<QWidget> guard(dialog);

    child<QPushButton>(dialog, u"Command2"_s)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(guard.isNull());
    QVERIFY(!p.t.windows.isOpen(u"frmEnding"_s));
    for (const QString &name : { u"frmWeb"_s, u"frmMessage"_s, u"frmAlarm"_s })
        QVERIFY2(p.t.windows.isOpen(name), qPrintable(name));
    QVERIFY(p.t.timers.timer(3).isArmed());
    QVERIFY(p.log.isEmpty());
    QVERIFY(p.quits.isEmpty());
    QVERIFY(!p.lifecycle.hasClosed());
}

void DialogsTest::exitButtonEndsEverythingInOrder()
{
    Program p;
    bool confirmationOpenWhenBrowserClosed = true;
    registerRecording(p.t.windows, u"frmWeb"_s, p.log,
        [&] { confirmationOpenWhenBrowserClosed = p.t.windows.isOpen(u"frmEnding"_s); });
    registerRecording(p.t.windows, u"frmVersion"_s, p.log);
    QWidget *browser = p.open(u"frmWeb"_s);
    for (const QString &name :
        { u"frmbookmark"_s, u"frmMessage"_s, u"frmVersion"_s, u"frmConf"_s, u"frmAlarm"_s })
        p.open(name);
    QWidget *dialog = p.open(u"frmEnding"_s, browser);

    child<QPushButton>(dialog, u"Command1"_s)->click();

    QVERIFY(!confirmationOpenWhenBrowserClosed);
    QCOMPARE(p.log,
        (QStringList { u"frmWeb"_s, u"frmAlarm"_s, u"frmConf"_s, u"frmVersion"_s, u"frmMessage"_s,
            u"frmbookmark"_s, u"(icon removed)"_s }));
    QCOMPARE(p.quits, QList<int> { 0 });
}

void DialogsTest::versionDialog()
{
    Program p;
    QWidget *dialog = p.open(u"frmVersion"_s);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->windowTitle(), u"ﾊﾞｰｼﾞｮﾝ情報"_s);
    auto *version = child<QLabel>(dialog, u"lblVersion"_s);
    QCOMPARE(version->text(), u"Version ３．９"_s);

    // The logo at its size in a framed panel, the version at the panel's
    // lower right, one line of notice below it, all in the theme's colours.
    auto *logo = child<QLabel>(dialog, u"Image1"_s);
    QCOMPARE(logo->size(), QSize(235, 28));
    QVERIFY(!logo->pixmap().isNull());
    auto *panel = child<QFrame>(dialog, u"Frame1"_s);
    QCOMPARE(version->parentWidget(), panel);
    QVERIFY(version->y() >= logo->geometry().bottom());
    QVERIFY(panel->width() - version->geometry().right() < 30);
    auto *notice = child<QLabel>(dialog, u"lblNotice"_s);
    QVERIFY(!notice->text().isEmpty() && !notice->text().contains(u'\n'));
    QVERIFY(notice->y() > panel->geometry().bottom());
    QCOMPARE(dialog->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));

    auto *close = child<QPushButton>(dialog, u"cmdClose"_s);
    QCOMPARE(close->text(), u"閉じる(&C)"_s);
    close->click();
    QVERIFY(!p.t.windows.isOpen(u"frmVersion"_s));
    QVERIFY(p.quits.isEmpty());
}

void DialogsTest::dialogsAreWindowModalAndCentred_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("owned");
    QTest::newRow("confirmation, from the browser window") << u"frmEnding"_s << true;
    QTest::newRow("version, from the browser window") << u"frmVersion"_s << true;
    QTest::newRow("version, from the tray") << u"frmVersion"_s << false;
}

void DialogsTest::dialogsAreWindowModalAndCentred()
{
    QFETCH(QString, name);
    QFETCH(bool, owned);
    Program p;
    QWidget *browser = p.open(u"frmWeb"_s);
    browser->move(30, 40);
    // The owner may be any widget of the window, a menu bar's say.
    auto *inside = new QWidget(browser);

    QWidget *dialog = p.open(name, owned ? inside : nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->parentWidget(), owned ? browser : nullptr);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(p.t.windows.find<QWidget>(name), dialog);
    const QPoint offset
        = dialog->frameGeometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    // A frame may be added once the window is up.
    QVERIFY2(
        offset.manhattanLength() <= 8, qPrintable(u"off centre by %1,%2"_s.arg(offset.x()).arg(offset.y())));

    // A second request raises the one dialog rather than making another.
    QCOMPARE(p.open(name, owned ? inside : nullptr), dialog);
}

void DialogsTest::alertStillUsableWhileDialogOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("confirmation") << u"frmEnding"_s;
    QTest::newRow("version") << u"frmVersion"_s;
}

void DialogsTest::alertStillUsableWhileDialogOpen()
{
    QFETCH(QString, name);
    Program p;
    QWidget *browser = p.open(u"frmWeb"_s);
    auto *browserButton = new QPushButton(u"x"_s, browser);
    browserButton->setGeometry(10, 10, 60, 30);
    browserButton->show();

    // The alert window is a top-level window of its own.
    QWidget alert;
    auto *alertButton = new QPushButton(u"表示"_s, &alert);
    alertButton->setGeometry(10, 10, 60, 30);
    alert.move(700, 500);
    alert.resize(200, 100);

    QWidget *dialog = p.open(name, browser);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    alert.show();
    QVERIFY(QTest::qWaitForWindowExposed(&alert));

    int alertClicks = 0;
    int browserClicks = 0;
    connect(alertButton, &QPushButton::clicked, this, [&] { ++alertClicks; });
    connect(browserButton, &QPushButton::clicked, this, [&] { ++browserClicks; });
    systemClick(alertButton);
    systemClick(browserButton);
    QCOMPARE(alertClicks, 1);
    QCOMPARE(browserClicks, 0); // the owner is blocked: the click test can tell
}

#include "dialogs_test.moc"
QObject *makeDialogsTest()
{
    return new DialogsTest;
}
