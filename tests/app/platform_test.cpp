#include "qt_message_box.h"
#include "signal_watcher.h"
#include "single_instance.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SingleInstance::Result)

namespace {

// What the message box looked like while it waited for its OK.
struct SeenBox
{
    bool seen = false;
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::StandardButtons buttons;
    Qt::WindowModality modality = Qt::NonModal;
    QWidget *parent = nullptr;
};

// Looks at the box once it is up, then does `then` (press OK, ...). Any box
// left over is closed so that a failing test cannot hang.
void whenBoxShows(SeenBox &seen, std::function<void(QMessageBox *)> then)
{
    QTimer::singleShot(0, [&seen, then] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box) {
            seen = { true, box->windowTitle(), box->text(), box->textFormat(), box->standardButtons(),
                box->windowModality(), box->parentWidget() };
            then(box);
        }
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *stray = qobject_cast<QMessageBox *>(w))
                stray->done(0);
    });
}

qint64 deadProcessId()
{
    QProcess p;
    p.start(u"true"_s);
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

} // namespace

class PlatformTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void singleInstance_data();
    void singleInstance();
    void privateLockFolder_data();
    void privateLockFolder();
    void signalsArriveOnEventLoop_data();
    void signalsArriveOnEventLoop();
    void messageBox_data();
    void messageBox();
    void messageBoxOwnerClosesMeanwhile();
};

void PlatformTest::singleInstance_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<SingleInstance::Result>("expected");
    QTest::newRow("no lock") << u"none"_s << SingleInstance::Result::Acquired;
    QTest::newRow("held by a running copy") << u"held"_s << SingleInstance::Result::HeldByOther;
    QTest::newRow("left by a crashed copy") << u"dead"_s << SingleInstance::Result::Acquired;
    // Killed between creating the file and writing it, or a full folder.
    QTest::newRow("empty file") << u"empty"_s << SingleInstance::Result::Acquired;
    QTest::newRow("folder missing") << u"no folder"_s << SingleInstance::Result::Unavailable;
}

void PlatformTest::singleInstance()
{
    QFETCH(QString, before);
    QFETCH(SingleInstance::Result, expected);
    QTemporaryDir dir;
    QString path = dir.filePath(u"larkvane.lock"_s);
    if (before == u"no folder"_s)
        path = dir.filePath(u"gone/larkvane.lock"_s);

    std::unique_ptr<SingleInstance> running;
    if (before == u"held"_s) {
        running = std::make_unique<SingleInstance>(path);
        QCOMPARE(running->acquire(), SingleInstance::Result::Acquired);
    } else if (before == u"dead"_s) {
        QFile lock(path);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadProcessId()) + '\n' + QCoreApplication::applicationName().toUtf8()
            + '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
    } else if (before == u"empty"_s) {
        QFile lock(path);
        QVERIFY(lock.open(QIODevice::WriteOnly));
    }
    SingleInstance second(path);
    QCOMPARE(second.acquire(), expected);
    if (expected == SingleInstance::Result::Acquired) {
        QFile lock(path);
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readLine().trimmed().toLongLong(), QCoreApplication::applicationPid());
    }
}

void PlatformTest::privateLockFolder_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("used");
    QTest::newRow("made, with its parents") << u"none"_s << true;
    QTest::newRow("open to all: closed") << u"0777"_s << true;
    QTest::newRow("a link to another folder") << u"link"_s << false;
    QTest::newRow("someone else's") << u"foreign"_s << false;
}

// Where there is no runtime folder the lock must not be where another user
// can make it first.
void PlatformTest::privateLockFolder()
{
    QFETCH(QString, before);
    QFETCH(bool, used);
    QTemporaryDir home;
    const QString folder = home.filePath(u".cache/larkvane"_s);
    if (before != u"none"_s)
        QVERIFY(QDir().mkpath(home.filePath(u".cache"_s)));
    if (before == u"0777"_s) {
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
    } else if (before == u"link"_s) {
        QVERIFY(QFile::link(home.path(), folder));
    } else if (before == u"foreign"_s) {
        if (::getuid() != 0)
            QSKIP("only root can give a folder to someone else");
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
    }
    const QString path = SingleInstance::privateLockPath(folder);
    QCOMPARE(path.isEmpty(), !used);
    if (used) {
        QCOMPARE(QFileInfo(folder).permissions()
                & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser | QFile::ReadOwner | QFile::WriteOwner
                    | QFile::ExeOwner),
            QFileDevice::Permissions());
        QCOMPARE(SingleInstance(path).acquire(), SingleInstance::Result::Acquired);
    } else {
        QCOMPARE(SingleInstance(path).acquire(), SingleInstance::Result::Unavailable);
    }
}

void PlatformTest::signalsArriveOnEventLoop_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void PlatformTest::signalsArriveOnEventLoop()
{
    QFETCH(int, number);
    SignalWatcher watcher({ SIGTERM, SIGINT, SIGHUP });
    QVERIFY(watcher.isWatching());
    QSignalSpy spy(&watcher, &SignalWatcher::received);
    std::raise(number);
    std::raise(number);
    QVERIFY(spy.isEmpty()); // nothing runs inside the handler
    QTRY_COMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0).at(0).toInt(), number);
}

void PlatformTest::messageBox_data()
{
    QTest::addColumn<bool>("owned");
    QTest::addColumn<Qt::WindowModality>("modality");
    QTest::newRow("owned by a window") << true << Qt::WindowModal;
    QTest::newRow("owned by none") << false << Qt::ApplicationModal;
}

void PlatformTest::messageBox()
{
    QFETCH(bool, owned);
    QFETCH(Qt::WindowModality, modality);
    QWidget window;
    auto *inside = new QWidget(&window);
    window.show();

    SeenBox seen;
    whenBoxShows(seen, [](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); });
    // A page title may look like markup; it is shown as it is.
    QtMessageBox().show(u"<b>「壺」</b> & <i>1 < 2</i>"_s, owned ? inside : nullptr);

    QVERIFY(seen.seen);
    QCOMPARE(seen.title, u"Larkvane"_s);
    QCOMPARE(seen.text, u"<b>「壺」</b> & <i>1 < 2</i>"_s);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(seen.modality, modality);
    QCOMPARE(seen.parent, owned ? &window : nullptr);
}

void PlatformTest::messageBoxOwnerClosesMeanwhile()
{
    auto *window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    SeenBox seen;
    QPointer<QWidget> guard(window);
    whenBoxShows(seen, [window](QMessageBox *) { delete window; });
    QtMessageBox().show(u"終了しました"_s, window);
    QVERIFY(seen.seen);
    QVERIFY(guard.isNull());
}

#include "platform_test.moc"
QObject *makePlatformTest()
{
    return new PlatformTest;
}
