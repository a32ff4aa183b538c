#pragma once

#include "browser_host.h"

#include <QObject>

#include <functional>

class BrowserWindow;
class WindowRegistry;
struct Services;

// The browser window as the rest of the program sees it, found through the
// window registry by its name, frmWeb.
class BrowserHostImpl final : public BrowserHost
{
public:
    explicit BrowserHostImpl(WindowRegistry &windows);

    void showBrowser() override;
    void navigate(const QString &address) override;
    bool isOpen() const override;
    QString locationUrl() const override;
    QString locationName() const override;
    QObject *window() const override;
    void applyBars(int toolbar, int buttons) override;

private:
    BrowserWindow *existing() const;

    WindowRegistry &m_windows;
};

// Commands of the browser window that other parts of the program own.
struct BrowserWindowHooks
{
    // "このページを追加する" and the toolbar's "bk_add"; `owner` is the window.
    std::function<void(QObject *owner)> addBookmark;
};

// Registers frmWeb: each opening after a close builds the window anew, with a
// real browser engine over one persistent profile.
void registerBrowserWindow(WindowRegistry &windows, Services &services, BrowserWindowHooks hooks = {});
