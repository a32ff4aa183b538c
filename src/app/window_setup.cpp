#include "window_setup.h"

#include "app_windows.h"
#include "browser_host_proxy.h"
#include "lifecycle.h"
#include "services.h"
#include "sound_player.h"

namespace {

// Plays nothing; stands in until the alarm folder's player is wired below.
class SilentSoundPlayer final : public SoundPlayer
{
public:
    void play(const QString &) override { }
};

} // namespace

WindowSetup::WindowSetup(Services &services, BrowserHostProxy &browserHost, Lifecycle &lifecycle)
    : m_services(services)
    , m_browserHost(browserHost)
    , m_lifecycle(lifecycle)
{
}

WindowSetup::~WindowSetup() = default;

std::unique_ptr<SoundPlayer> WindowSetup::makeSoundPlayer()
{
    // alarm/: return its WAV player here.
    return std::make_unique<SilentSoundPlayer>();
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
    // alarm/: the countdown on m_services.store's ticks, "frmMessage" and
    // "frmAlarm".
}

void WindowSetup::settings()
{
    // settings/: "frmConf".
}

void WindowSetup::bookmarks()
{
    // bookmarks/: "frmbookmark".
}
