#include "browser_host_proxy.h"

#include "window_registry.h"

using namespace Qt::StringLiterals;

BrowserHostProxy::BrowserHostProxy(WindowRegistry &windows)
    : m_windows(windows)
{
}

void BrowserHostProxy::showBrowser()
{
    if (m_target)
        m_target->showBrowser();
    else
        m_windows.open(u"frmWeb"_s);
}

void BrowserHostProxy::navigate(const QString &address)
{
    if (m_target)
        m_target->navigate(address);
}

bool BrowserHostProxy::isOpen() const
{
    return m_target ? m_target->isOpen() : m_windows.isOpen(u"frmWeb"_s);
}

QString BrowserHostProxy::locationUrl() const
{
    return m_target ? m_target->locationUrl() : QString();
}

QString BrowserHostProxy::locationName() const
{
    return m_target ? m_target->locationName() : QString();
}

QObject *BrowserHostProxy::window() const
{
    return m_target ? m_target->window() : m_windows.find(u"frmWeb"_s);
}

void BrowserHostProxy::applyBars(int toolbar, int buttons)
{
    if (m_target)
        m_target->applyBars(toolbar, buttons);
}
