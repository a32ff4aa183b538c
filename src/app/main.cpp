// The one place that wires the real implementations together.

#include "app_icon.h"
#include "browser_process.h"
#include "clock.h"
#include "countdown.h"
#include "dbus_notifier.h"
#include "dbus_sleep_inhibitor.h"
#include "desktop_activation.h"
#include "extension_follower.h"
#include "japanese.h"
#include "lifecycle.h"
#include "log.h"
#include "persistence.h"
#include "profile_file.h"
#include "qt_file_dialog.h"
#include "qt_message_box.h"
#include "resume_watcher.h"
#include "service_clock.h"
#include "services.h"
#include "settings_fields.h"
#include "signal_watcher.h"
#include "single_instance.h"
#include "sound_player.h"
#include "startup.h"
#include "state_store.h"
#include "status_line.h"
#include "tray.h"
#include "tray_commands.h"
#include "window_registry.h"
#include "window_setup.h"

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
    QApplication::setApplicationVersion(u"3.9"_s);
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
            qPrintable(instance.lockPath()));
        break;
    }

    qCInfo(lcTray) << "starting in" << QDir::currentPath();
    JapanClock machineClock;
    ServiceClock clock(machineClock);
    StateStore store;
    Persistence persistence(store, QDir::currentPath());
    // Only now, with the lock held, is no other copy saving into this folder.
    ProfileFile::removeInterruptedSaves(persistence.iniPath(), started);
    persistence.restore(clock);

    WindowRegistry windows;
    StatusLine statusLine;
    BrowserProcess browser;
    QtFileDialog files;
    std::unique_ptr<SoundPlayer> sound = WindowSetup::makeSoundPlayer();
    Services services { store, persistence, clock, messages, *sound, windows, statusLine, browser, files };

    Tray tray(larkvaneIcon());
    Lifecycle lifecycle(services);
    lifecycle.setTrayRemover([&tray] { tray.remove(); });

    QObject::disconnect(earlyExit);
    QObject::connect(&signalWatcher, &SignalWatcher::received, &lifecycle, &Lifecycle::exitFromTray);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &lifecycle,
        [&lifecycle](QSessionManager &) { lifecycle.exitFromTray(); });
    // Whatever else ends the event loop, the store is still saved.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &lifecycle, &Lifecycle::closeStore);

    // The desktop's notifications reach the user with any tray or none.
    DBusNotifier notifier;
    DBusSleepInhibitor inhibitor;
    WindowSetup setup(services, browser, lifecycle, notifier, inhibitor);
    setup.registerAll();
    // Slots asleep until their moments wake on timers that stop in suspend.
    ResumeWatcher resume(QDBusConnection::systemBus());
    QObject::connect(&resume, &ResumeWatcher::resumed, setup.countdown(), &Countdown::paceChanged);
    QObject::connect(setup.follower(), &ExtensionFollower::notification, &notifier,
        [&notifier](const QString &text) { notifier.showNotice(text); });
    QObject::connect(
        &clock, &ServiceClock::offsetNoticed, &notifier, [&statusLine, &notifier](const QString &text) {
            statusLine.setText(text);
            notifier.showNotice(text);
        });

    TrayCommands commands(services, lifecycle);
    commands.listenTo(tray);

    // A second start, and the desktop's own activation, bring this copy forward.
    instance.answerSecondStarts([&commands] { return commands.secondStart(); });
    DesktopActivation activation(QGuiApplication::desktopFileName());
    QObject::connect(&activation, &DesktopActivation::activated, &commands, &TrayCommands::openWindow);
    QObject::connect(&activation, &DesktopActivation::openRequested, &commands, &TrayCommands::openAddress);

    // Shown even where no notification area is up yet: a panel that starts
    // after us may still take the icon.
    tray.show();
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (showsBrowserAtStart(store.value(Setting::kStartInTray), trayAvailable)) {
        qCInfo(lcTray) << "opening the browser window"
                       << (trayAvailable ? "" : "(no notification area to start in)");
        browser.showBrowser();
    } else {
        qCInfo(lcTray) << "starting in the tray";
    }

    const int code = QApplication::exec();
    // The exit has saved and its code is set: a signal now changes neither.
    signalWatcher.ignoreFromNowOn();
    qCInfo(lcTray) << "event loop ended, exit code" << code;
    deleteRemainingWindows();
    return code;
}
