#include "desktop_and_remote_notifier.h"

#include "remote_notifier.h"

DesktopAndRemoteNotifier::DesktopAndRemoteNotifier(DesktopNotifier &desktop, RemoteNotifier &remote)
    : m_desktop(desktop)
    , m_remote(remote)
{
}

void DesktopAndRemoteNotifier::showAlert(
    const QString &text, std::function<void()> showItem, const NoticeItem &item)
{
    m_desktop.showAlert(text, std::move(showItem), item);
    m_remote.send({ RemoteNotice::Kind::Alert, text, item.title, item.url });
}

void DesktopAndRemoteNotifier::withdrawAlert(int slot)
{
    m_desktop.withdrawAlert(slot);
}

void DesktopAndRemoteNotifier::showNotice(const QString &text, const NoticeItem &item)
{
    m_desktop.showNotice(text, item);
    m_remote.send({ RemoteNotice::Kind::Notice, text, item.title, item.url });
}
