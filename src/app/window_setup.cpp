#include "window_setup.h"

#include "alarm_windows.h"
#include "app_windows.h"
#include "bookmark_window.h"
#include "browser_host_proxy.h"
#include "countdown.h"
#include "lifecycle.h"
#include "qt_sound_player.h"
#include "services.h"
#include "settings_dialog.h"
#include "sound_player.h"
#include "state_store.h"

WindowSetup::WindowSetup(Services &services, BrowserHostProxy &browserHost, Lifecycle &lifecycle)
    : m_services(services)
    , m_browserHost(browserHost)
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
    // browser/: register "frmWeb" and hand its BrowserHost to
    // m_browserHost.setTarget(); until then "ウィンドウを開く" opens nothing.
}

void WindowSetup::alarm()
{
    m_countdown = std::make_unique<Countdown>(m_services);
    QObject::connect(&m_services.store, &StateStore::tick, m_countdown.get(), &Countdown::tick);
    registerAlarmWindows(m_services.windows, m_services);
}

void WindowSetup::settings()
{
    registerSettingsWindows(m_services.windows, m_services);
}

void WindowSetup::bookmarks()
{
    registerBookmarkWindows(m_services.windows, m_services);
}
