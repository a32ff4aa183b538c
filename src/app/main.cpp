// The one place that wires the real implementations together.

#include "app_icon.h"
#include "auction_timers.h"
#include "background_page_reader.h"
#include "browser_process.h"
#include "clock.h"
#include "dbus_notifier.h"
#include "dbus_sleep_inhibitor.h"
#include "desktop_activation.h"
#include "japanese.h"
#include "lifecycle.h"
#include "log.h"
#include "page_fetcher.h"
#include "profile_file.h"
#include "program.h"
#include "pulse_sound_player.h"
#include "qt_file_dialog.h"
#include "qt_message_box.h"
#include "remote_notifier.h"
#include "resume_watcher.h"
#include "settings_fields.h"
#include "signal_watcher.h"
#include "single_instance.h"
#include "sleep_guard.h"
#include "startup.h"
#include "tray.h"
#include "tray_commands.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QPointer>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QWidget>

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Windows still alive after the event loop refer to the services below; they
// must go while those exist. Dialogs are top-level too and die with their
// owner, hence the guarded pointers.
void deleteRemainingWindows()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows << w;
    for (const QPointer<QWidget> &w : std::as_const(windows))
        delete w.data();
}

} // namespace

int main(int argc, char *argv[])
{
    const QDateTime started = QDateTime::currentDateTime();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"larkvane"_s);
    QApplication::setApplicationVersion(QStringLiteral(LARKVANE_VERSION));
    // Ties the windows and notifications to the menu entry (Wayland, trays).
    QGuiApplication::setDesktopFileName(u"io.github.larkvane.Larkvane"_s);
    QApplication::setWindowIcon(larkvaneIcon());
    Japanese::speakJapanese();
    // Closing the browser window leaves the program in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    // Watching before the lock is taken: whoever sees the lock may signal us
    // and get an orderly exit, even while start-up is still running.
    SignalWatcher signalWatcher({ SIGTERM, SIGINT, SIGHUP });
    QMetaObject::Connection earlyExit
        = QObject::connect(&signalWatcher, &SignalWatcher::received, &app, [] { QCoreApplication::exit(0); });

    QtMessageBox messages;
    SingleInstance instance;
    switch (instance.acquire()) {
    case SingleInstance::Result::Acquired:
        break;
    case SingleInstance::Result::HeldByOther:
        qCInfo(lcTray) << "another copy holds" << instance.lockPath() << "- this one ends";
        if (instance.askHolder() != SingleInstance::Answer::CameForward)
            tellAlreadyRunning(messages);
        return 0;
    case SingleInstance::Result::Unavailable:
        // Refusing to start over a lock no one can create would lock the user
        // out for good; running unguarded is the lesser harm.
        std::fprintf(stderr, "larkvane: cannot create %s; not checking for another copy\n",
            qPrintable(instance.lockPath().isEmpty() ? u"a lock in a folder of this user's own"_s
                                                     : instance.lockPath()));
        break;
    }

    qCInfo(lcTray) << "starting in" << QDir::currentPath();
    JapanClock machineClock;
    // Its link carries out the window's reports on the program's parts: it
    // must go before them (see the end).
    auto browserProcess = std::make_unique<BrowserProcess>();
    BrowserProcess &browser = *browserProcess;
    QtFileDialog files;
    PulseSoundPlayer sound;
    // The desktop's notifications reach the user with any tray or none.
    DBusNotifier notifier;
    DBusSleepInhibitor inhibitor;
    // Pages, however large, are read beside the countdown, not in it.
    BackgroundPageReader::setWorkersByDefault(true);
    Program program(
        { machineClock, &AuctionTimers::bootClockMs, &SleepGuard::awakeClockMs, messages, sound, files,
            browser, notifier, inhibitor, [] { return std::make_unique<NetworkPageFetcher>(); } },
        QDir::currentPath());
    // Only now, with the lock held, is no other copy saving into this folder.
    ProfileFile::removeInterruptedSaves(program.persistence().iniPath(), started);
    program.restore();
    program.followBrowser(browser);

    Tray tray(larkvaneIcon());
    Lifecycle &lifecycle = program.lifecycle();
    lifecycle.setTrayRemover([&tray] { tray.remove(); });

    QObject::disconnect(earlyExit);
    QObject::connect(&signalWatcher, &SignalWatcher::received, &lifecycle, &Lifecycle::exitFromTray);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &lifecycle,
        [&lifecycle](QSessionManager &) { lifecycle.exitFromTray(); });
    // Whatever else ends the event loop, the store is still saved.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &lifecycle, &Lifecycle::closeStore);

    // Timers asleep until their moments wake on timers that stop in suspend.
    ResumeWatcher resume(QDBusConnection::systemBus());
    QObject::connect(&resume, &ResumeWatcher::resumed, &program.timers(), &AuctionTimers::paceChanged);

    program.trayCommands().listenTo(tray);

    // A second start, and the desktop's own activation, bring this copy forward.
    TrayCommands &commands = program.trayCommands();
    instance.answerSecondStarts([&commands] { return commands.secondStart(); });
    DesktopActivation activation(QGuiApplication::desktopFileName());
    QObject::connect(&activation, &DesktopActivation::activated, &commands, &TrayCommands::openWindow);
    QObject::connect(&activation, &DesktopActivation::openRequested, &commands, &TrayCommands::openAddress);

    // Shown even where no notification area is up yet: a panel that starts
    // after us may still take the icon.
    tray.show();
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (showsBrowserAtStart(program.store().value(Setting::kStartInTray), trayAvailable)) {
        qCInfo(lcTray) << "opening the browser window"
                       << (trayAvailable ? "" : "(no notification area to start in)");
        browser.showBrowser();
    } else {
        qCInfo(lcTray) << "starting in the tray";
    }

    const int code = QApplication::exec();
    // The exit has saved and its code is set: a signal now changes neither.
    signalWatcher.ignoreFromNowOn();
    // A push or mail still under way holds the exit up for 2 s at most.
    program.remote().flush(2000);
    qCInfo(lcTray) << "event loop ended, exit code" << code;
    deleteRemainingWindows();
    browserProcess.reset();
    return code;
}
