#pragma once

#include <memory>

class BrowserHostProxy;
class Countdown;
class Lifecycle;
class SoundPlayer;
struct Services;

// The one place where every folder's windows are registered with the window
// registry and its long-lived objects are made. main() calls registerAll()
// once the services exist; each folder has one function here.
class WindowSetup
{
public:
    WindowSetup(Services &services, BrowserHostProxy &browserHost, Lifecycle &lifecycle);
    ~WindowSetup();

    void registerAll();

    // The alert sound player, needed before the services exist.
    static std::unique_ptr<SoundPlayer> makeSoundPlayer();

private:
    void app();
    void browser();
    void alarm();
    void settings();
    void bookmarks();

    Services &m_services;
    BrowserHostProxy &m_browserHost;
    Lifecycle &m_lifecycle;
    std::unique_ptr<Countdown> m_countdown;
};
