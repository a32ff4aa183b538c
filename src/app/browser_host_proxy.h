#pragma once

#include "browser_host.h"

class WindowRegistry;

// The BrowserHost every window is given. The browser window's own host is
// made after the services that it needs, so it is plugged in here later;
// until then the proxy opens whatever the registry knows as "frmWeb".
class BrowserHostProxy final : public BrowserHost
{
public:
    explicit BrowserHostProxy(WindowRegistry &windows);

    void setTarget(BrowserHost *target) { m_target = target; }

    void showBrowser() override;
    void navigate(const QString &address) override;
    bool isOpen() const override;
    QString locationUrl() const override;
    QString locationName() const override;
    QObject *window() const override;
    void applyBars(int toolbar, int buttons) override;

private:
    WindowRegistry &m_windows;
    BrowserHost *m_target = nullptr;
};
