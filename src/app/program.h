#pragma once

#include "auction_timer.h"
#include "persistence.h"
#include "service_clock.h"
#include "services.h"
#include "state_store.h"
#include "status_line.h"
#include "window_registry.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class AuctionTimers;
class BrowserHost;
class BrowserProcess;
class Clock;
class DesktopNotifier;
class FileDialog;
class Lifecycle;
class MessageBox;
class DesktopAndRemoteNotifier;
class PageFetcher;
class RemoteNotifier;
class SecretStore;
class SleepGuard;
class SleepInhibitor;
class SoundPlayer;
class TrayCommands;

// What this machine gives the program: main() hands in the real ones, the
// end-to-end tests and the benchmarks doubles and driven clocks.
struct Platform
{
    // Japan time on this machine.
    const Clock &clock;
    // Milliseconds that go on through suspend, and that stop in it.
    AuctionTimer::SteadyClock steady;
    std::function<qint64()> awake;
    MessageBox &messages;
    SoundPlayer &sound;
    FileDialog &files;
    BrowserHost &browser;
    DesktopNotifier &notifier;
    SleepInhibitor &inhibitor;
    // A page fetch of the program's own: the timers', each list window's.
    std::function<std::unique_ptr<PageFetcher>()> fetcher;
};

// The program's parts, built and connected in this one place: main() runs
// it, and so do the end-to-end tests and the benchmarks, so what is tested
// is what runs.
class Program : public QObject
{
    Q_OBJECT
public:
    // Everything is kept in `workingFolder` (larkvane.ini beside the start
    // page and the default sound). Nothing is read before restore().
    Program(Platform platform, const QString &workingFolder, QObject *parent = nullptr);
    ~Program() override;

    // Start-up: the settings and the slots from the file; the slots whose
    // end lies ahead count down again.
    void restore();
    // The browser window as its own process: the window registry's frmWeb,
    // whose showing and closing change the timers' pace, and whose user
    // agent every fetch of the program sends.
    void followBrowser(BrowserProcess &process);

    StateStore &store() { return m_store; }
    Persistence &persistence() { return m_persistence; }
    ServiceClock &clock() { return m_clock; }
    AuctionTimers &timers() { return *m_timers; }
    WindowRegistry &windows() { return m_windows; }
    StatusLine &statusLine() { return m_statusLine; }
    Services &services() { return m_services; }
    Lifecycle &lifecycle() { return *m_lifecycle; }
    TrayCommands &trayCommands() { return *m_trayCommands; }
    SleepGuard &sleepGuard() { return *m_sleepGuard; }
    // The alert on the phone and by mail.
    RemoteNotifier &remote() { return *m_remote; }

public Q_SLOTS:
    // Whether a window shows the count may have changed.
    void paceMayChange();
    void tellLater(const QString &text);

private:
    Platform m_platform;
    StateStore m_store;
    Persistence m_persistence;
    ServiceClock m_clock;
    StatusLine m_statusLine;
    WindowRegistry m_windows;
    std::unique_ptr<SecretStore> m_secrets;
    std::unique_ptr<RemoteNotifier> m_remote;
    // The desktop's notifications, each also sent out by the remote channels.
    std::unique_ptr<DesktopAndRemoteNotifier> m_notifier;
    std::unique_ptr<PageFetcher> m_timerFetcher;
    std::unique_ptr<AuctionTimers> m_timers;
    Services m_services;
    std::unique_ptr<SleepGuard> m_sleepGuard;
    std::unique_ptr<Lifecycle> m_lifecycle;
    std::unique_ptr<TrayCommands> m_trayCommands;
    // The browser's own, once a window has told it: every fetch looks alike.
    QString m_userAgent;
};
