#pragma once

#include "desktop_notifier.h"

class RemoteNotifier;

// The desktop's notifications, each also pushed and mailed by the remote
// channels switched on. The desktop comes first and never waits for them.
class DesktopAndRemoteNotifier final : public DesktopNotifier
{
public:
    DesktopAndRemoteNotifier(DesktopNotifier &desktop, RemoteNotifier &remote);

    void showAlert(const QString &text, std::function<void()> showItem, const NoticeItem &item = {}) override;
    void withdrawAlert(int slot) override;
    void showNotice(const QString &text, const NoticeItem &item = {}) override;

private:
    DesktopNotifier &m_desktop;
    RemoteNotifier &m_remote;
};
