#include "browser_host_impl.h"

#include "browser_window.h"
#include "web_engine_browser.h"
#include "window_registry.h"

using namespace Qt::StringLiterals;

namespace {

const QString kName = u"frmWeb"_s;

} // namespace

BrowserHostImpl::BrowserHostImpl(WindowRegistry &windows)
    : m_windows(windows)
{
}

BrowserWindow *BrowserHostImpl::existing() const
{
    return m_windows.find<BrowserWindow>(kName);
}

void BrowserHostImpl::showBrowser()
{
    m_windows.open(kName);
}

void BrowserHostImpl::navigate(const QString &address)
{
    if (auto *w = qobject_cast<BrowserWindow *>(m_windows.ensure(kName)))
        w->navigate(address);
}

bool BrowserHostImpl::isOpen() const
{
    return m_windows.isOpen(kName);
}

QString BrowserHostImpl::locationUrl() const
{
    const BrowserWindow *w = existing();
    return w ? w->locationUrl() : QString();
}

QString BrowserHostImpl::locationName() const
{
    const BrowserWindow *w = existing();
    return w ? w->locationName() : QString();
}

QObject *BrowserHostImpl::window() const
{
    BrowserWindow *w = existing();
    return w && w->isVisible() ? w : nullptr;
}

void BrowserHostImpl::applyBars(int toolbar, int buttons)
{
    if (BrowserWindow *w = existing())
        w->applyBars(toolbar, buttons);
}

void registerBrowserWindow(WindowRegistry &windows, Services &services, BrowserWindowHooks hooks)
{
    // Lives as long as the registry, and takes the pages with it before the
    // profile.
    auto *profile = new BrowserProfile(&windows);
    windows.registerWindow(
        kName,
        [&services, profile, hooks](QObject *) -> QObject * {
            auto *w = new BrowserWindow(
                services, [profile](QWidget *parent) { return profile->createEngine(parent); });
            w->setAttribute(Qt::WA_DeleteOnClose);
            if (hooks.addBookmark)
                w->setBookmarkAddHandler([w, add = hooks.addBookmark] { add(w); });
            return w;
        },
        [](QObject *object) {
            auto *w = qobject_cast<QWidget *>(object);
            if (!w)
                return;
            if (w->isMinimized())
                w->showNormal();
            else
                w->show();
            w->raise();
            w->activateWindow();
        });
}
