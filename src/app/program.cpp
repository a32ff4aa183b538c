#include "program.h"

#include "alarm_windows.h"
#include "app_windows.h"
#include "auction_timers.h"
#include "batch_windows.h"
#include "bookmark_window.h"
#include "browser_process.h"
#include "desktop_and_remote_notifier.h"
#include "desktop_notifier.h"
#include "lifecycle.h"
#include "log.h"
#include "message_box.h"
#include "page_fetcher.h"
#include "remote_notifier.h"
#include "secret_store.h"
#include "settings_dialog.h"
#include "sleep_guard.h"
#include "tray_commands.h"

#include <QTimer>

using namespace Qt::StringLiterals;

Program::Program(Platform platform, const QString &workingFolder, QObject *parent)
    : QObject(parent)
    , m_platform(std::move(platform))
    , m_persistence(m_store, workingFolder)
    , m_clock(m_platform.clock)
    , m_secrets(std::make_unique<SecretStore>())
    , m_remote(std::make_unique<RemoteNotifier>(m_store, *m_secrets, m_statusLine))
    , m_notifier(std::make_unique<DesktopAndRemoteNotifier>(m_platform.notifier, *m_remote))
    , m_timerFetcher(m_platform.fetcher())
    , m_timers(std::make_unique<AuctionTimers>(m_store, m_persistence, m_clock, m_platform.sound, m_windows,
          m_statusLine, *m_timerFetcher, m_platform.steady))
    , m_services { m_store, m_persistence, m_clock, m_platform.messages, m_platform.sound, m_windows,
        m_statusLine, m_platform.browser, m_platform.files, *m_timers, m_remote.get() }
{
    DesktopNotifier &notifier = *m_notifier;
    m_sleepGuard = std::make_unique<SleepGuard>(
        *m_timers, m_store, m_platform.inhibitor, notifier, m_platform.steady, m_platform.awake);
    m_lifecycle = std::make_unique<Lifecycle>(m_services);
    m_trayCommands = std::make_unique<TrayCommands>(m_services, *m_lifecycle);

    registerAppWindows(m_windows, *m_lifecycle);
    registerAlarmWindows(m_windows, m_services, &notifier);
    registerSettingsWindows(m_windows, m_services);
    registerBookmarkWindows(m_windows, m_services);
    registerBatchWindows(m_windows, m_services, [this]() -> std::unique_ptr<PageFetcher> {
        std::unique_ptr<PageFetcher> fetcher = m_platform.fetcher();
        if (!m_userAgent.isEmpty())
            fetcher->setUserAgent(m_userAgent);
        return fetcher;
    });

    // The desktop's notifications reach the user with any tray or none.
    connect(m_timers.get(), &AuctionTimers::notice, this, [this, &notifier](const QString &text, int n) {
        const AuctionItem &item = m_timers->timer(n).item();
        notifier.showNotice(text, { item.title, item.url });
    });
    // A save that fails is said where the user looks, and once in a box:
    // the timers would not survive a restart.
    m_persistence.setProblemListener([this](const QString &text) {
        m_statusLine.setText(text);
        m_platform.notifier.showNotice(text);
        tellLater(text);
    });
    // This machine's clock is the desktop's business only.
    connect(&m_clock, &ServiceClock::offsetNoticed, this, [this](const QString &text) {
        m_statusLine.setText(text);
        m_platform.notifier.showNotice(text);
    });

    // While nothing shows the count, the timers sleep until their moments;
    // the browser window and the status list show it.
    m_timers->setWatched([this] { return m_windows.isOpen(u"frmWeb"_s) || m_windows.isOpen(u"frmAlarm"_s); });
    connect(&m_windows, &WindowRegistry::windowCreated, this, [this](const QString &name, QObject *window) {
        if (name != u"frmAlarm"_s || !window)
            return;
        paceMayChange();
        connect(window, &QObject::destroyed, this, &Program::paceMayChange);
    });
}

Program::~Program() = default;

void Program::restore()
{
    m_timers->restore(m_persistence.restore());
    if (const QString problem = m_persistence.restoreProblem(); !problem.isEmpty())
        tellLater(problem);
    paceMayChange();
}

void Program::tellLater(const QString &text)
{
    // A save may fail deep inside a step or a dialog's close: the box, with
    // its own event loop, waits until that has run its course.
    QTimer::singleShot(0, this, [this, text] { m_platform.messages.show(text, nullptr); });
}

void Program::followBrowser(BrowserProcess &process)
{
    process.attach(m_services);
    connect(&process, &BrowserProcess::shown, this, &Program::paceMayChange);
    connect(&process, &BrowserProcess::ended, this, &Program::paceMayChange);
    connect(&process, &BrowserProcess::userAgentChanged, this, [this](const QString &agent) {
        m_userAgent = agent;
        m_timerFetcher->setUserAgent(agent);
    });
}

void Program::paceMayChange()
{
    // After the event that opened or closed the window has run its course.
    QTimer::singleShot(0, m_timers.get(), &AuctionTimers::paceChanged);
}
