#pragma once

#include <QString>

#include <memory>

class BrowserProcess;
class Countdown;
class DesktopNotifier;
class SleepGuard;
class SleepInhibitor;
class ExtensionFollower;
class NetworkPageFetcher;
class Lifecycle;
class SoundPlayer;
struct Services;

// The one place where every folder's windows are registered with the window
// registry and its long-lived objects are made. main() calls registerAll()
// once the services exist; each folder has one function here.
class WindowSetup
{
public:
    WindowSetup(Services &services, BrowserProcess &browser, Lifecycle &lifecycle, DesktopNotifier &notifier,
        SleepInhibitor &inhibitor);
    ~WindowSetup();

    void registerAll();

    // Desktop notifications the program wants to give (an extended auction).
    ExtensionFollower *follower() const { return m_follower.get(); }
    Countdown *countdown() const { return m_countdown.get(); }

    // The alert sound player, needed before the services exist.
    static std::unique_ptr<SoundPlayer> makeSoundPlayer();

private:
    void app();
    void browser();
    void alarm();
    void settings();
    void bookmarks();
    void batch();

    Services &m_services;
    BrowserProcess &m_browser;
    Lifecycle &m_lifecycle;
    DesktopNotifier &m_notifier;
    SleepInhibitor &m_inhibitor;
    std::unique_ptr<NetworkPageFetcher> m_followFetcher;
    std::unique_ptr<ExtensionFollower> m_follower;
    std::unique_ptr<Countdown> m_countdown;
    std::unique_ptr<SleepGuard> m_sleepGuard;
    // The browser's own, once a window has told it: every fetch looks alike.
    QString m_userAgent;
};
