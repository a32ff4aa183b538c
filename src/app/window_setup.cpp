#include "window_setup.h"

#include "alarm_windows.h"
#include "app_windows.h"
#include "bookmark_window.h"
#include "browser_process.h"
#include "countdown.h"
#include "extension_follower.h"
#include "lifecycle.h"
#include "page_fetcher.h"
#include "qt_sound_player.h"
#include "services.h"
#include "settings_dialog.h"
#include "sound_player.h"
#include "state_store.h"
#include "window_registry.h"

using namespace Qt::StringLiterals;

WindowSetup::WindowSetup(Services &services, BrowserProcess &browser, Lifecycle &lifecycle)
    : m_services(services)
    , m_browser(browser)
    , m_lifecycle(lifecycle)
{
}

WindowSetup::~WindowSetup() = default;

std::unique_ptr<SoundPlayer> WindowSetup::makeSoundPlayer()
{
    return std::make_unique<QtSoundPlayer>();
}

void WindowSetup::registerAll()
{
    app();
    browser();
    alarm();
    settings();
    bookmarks();
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
    m_follower = std::make_unique<ExtensionFollower>(
        m_services.store, m_services.persistence, m_services.clock, *m_followFetcher, m_services.statusLine);
    QObject::connect(&m_browser, &BrowserProcess::userAgentChanged, m_followFetcher.get(),
        &NetworkPageFetcher::setUserAgent);
}

void WindowSetup::alarm()
{
    m_countdown = std::make_unique<Countdown>(m_services);
    QObject::connect(&m_services.store, &StateStore::tick, m_countdown.get(), &Countdown::tick);
    registerAlarmWindows(m_services.windows, m_services);
    // A page that says its auction closed early ends the slot as its end would.
    QObject::connect(
        m_follower.get(), &ExtensionFollower::slotEndedEarly, m_countdown.get(), &Countdown::endSlot);
}

void WindowSetup::settings()
{
    registerSettingsWindows(m_services.windows, m_services);
}

void WindowSetup::bookmarks()
{
    registerBookmarkWindows(m_services.windows, m_services);
}
