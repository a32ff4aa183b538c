#include "window_setup.h"

#include "alarm_windows.h"
#include "app_windows.h"
#include "batch_windows.h"
#include "bookmark_window.h"
#include "browser_process.h"
#include "countdown.h"
#include "extension_follower.h"
#include "lifecycle.h"
#include "page_fetcher.h"
#include "pulse_sound_player.h"
#include "services.h"
#include "settings_dialog.h"
#include "sleep_guard.h"
#include "sound_player.h"
#include "state_store.h"
#include "window_registry.h"

#include <QTimer>

using namespace Qt::StringLiterals;

WindowSetup::WindowSetup(Services &services, BrowserProcess &browser, Lifecycle &lifecycle,
    DesktopNotifier &notifier, SleepInhibitor &inhibitor)
    : m_services(services)
    , m_browser(browser)
    , m_lifecycle(lifecycle)
    , m_notifier(notifier)
    , m_inhibitor(inhibitor)
{
}

WindowSetup::~WindowSetup() = default;

std::unique_ptr<SoundPlayer> WindowSetup::makeSoundPlayer()
{
    return std::make_unique<PulseSoundPlayer>();
}

void WindowSetup::registerAll()
{
    app();
    browser();
    alarm();
    settings();
    bookmarks();
    batch();
}

void WindowSetup::app()
{
    registerAppWindows(m_services.windows, m_lifecycle);
}

void WindowSetup::browser()
{
    m_browser.attach(m_services);

    // The follower outlives every browser window, so it has a fetcher of its
    // own; it speaks with the browser's voice once a window has shown it.
    m_followFetcher = std::make_unique<NetworkPageFetcher>();
    m_follower = std::make_unique<ExtensionFollower>(m_services.store, m_services.persistence,
        m_services.clock, *m_followFetcher, m_services.statusLine, &Countdown::bootClockMs);
    QObject::connect(
        &m_browser, &BrowserProcess::userAgentChanged, m_followFetcher.get(), [this](const QString &agent) {
            m_userAgent = agent;
            m_followFetcher->setUserAgent(agent);
        });
}

void WindowSetup::alarm()
{
    m_countdown = std::make_unique<Countdown>(m_services);
    QObject::connect(&m_services.store, &StateStore::tick, m_countdown.get(), &Countdown::tick);
    registerAlarmWindows(m_services.windows, m_services, &m_notifier);
    m_sleepGuard
        = std::make_unique<SleepGuard>(m_services.store, m_inhibitor, m_notifier, &Countdown::bootClockMs);
    // A slot on the web waits at 0 for its page to say the end; a page that
    // says its auction closed early ends the slot as its end would.
    Countdown *countdown = m_countdown.get();
    ExtensionFollower *follower = m_follower.get();
    m_countdown->setEndHold([follower](int n) { return follower->holdsAtEnd(n); });
    m_countdown->setWakeWanted([follower](int n, double left) { return follower->nextReadLeft(n, left); });
    m_follower->setCountSync([countdown](int n) { countdown->catchUp(n); });

    // While nothing shows the count, the slots sleep until their moments.
    WindowRegistry &windows = m_services.windows;
    m_countdown->setWatched(
        [&windows] { return windows.isOpen(u"frmWeb"_s) || windows.isOpen(u"frmAlarm"_s); });
    const auto paceMayChange = [countdown] {
        // After the event that opened or closed the window has run its course.
        QTimer::singleShot(0, countdown, &Countdown::paceChanged);
    };
    QObject::connect(&m_browser, &BrowserProcess::shown, countdown, paceMayChange);
    QObject::connect(&m_browser, &BrowserProcess::ended, countdown, paceMayChange);
    QObject::connect(&windows, &WindowRegistry::windowCreated, countdown,
        [paceMayChange](const QString &name, QObject *window) {
            if (name != u"frmAlarm"_s || !window)
                return;
            paceMayChange();
            QObject::connect(window, &QObject::destroyed, paceMayChange);
        });
    paceMayChange();
    QObject::connect(m_follower.get(), &ExtensionFollower::slotEnded, m_countdown.get(), &Countdown::endSlot);
}

void WindowSetup::settings()
{
    registerSettingsWindows(m_services.windows, m_services);
}

void WindowSetup::bookmarks()
{
    registerBookmarkWindows(m_services.windows, m_services);
}

void WindowSetup::batch()
{
    registerBatchWindows(m_services.windows, m_services, [this]() -> std::unique_ptr<PageFetcher> {
        auto fetcher = std::make_unique<NetworkPageFetcher>();
        if (!m_userAgent.isEmpty())
            fetcher->setUserAgent(m_userAgent);
        return fetcher;
    });
}
