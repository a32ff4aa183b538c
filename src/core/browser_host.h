#pragma once

#include <QString>
#include <QStringList>

class QObject;

// The links of the page a browser window shows, as it stood once loaded:
// their addresses, resolved, and whether the page asks for a password.
struct PageLinks
{
    QString url; // the page's own
    QStringList links;
    bool passwordField = false;
};

// What the rest of the program may ask of the browser window without knowing
// the browser engine or the window class. The window itself is heavy: only
// showBrowser() and navigate() create it.
class BrowserHost
{
public:
    virtual ~BrowserHost() = default;

    // Open the browser window if it is closed, show it and bring it forward.
    virtual void showBrowser() = 0;
    // Load an address (http(s) URL or local file path) in the browser window;
    // opens the window when it is closed, since a page no one sees is of no
    // use to whoever asked for it.
    virtual void navigate(const QString &address) = 0;
    virtual bool isOpen() const = 0;
    // The page now shown; empty when the window is closed.
    virtual QString locationUrl() const = 0;
    virtual QString locationName() const = 0;
    // The links of the page now shown; none while the window is closed or a
    // page is loading.
    virtual PageLinks pageLinks() const = 0;
    // The window as an owner for dialogs; null when it is closed.
    virtual QObject *window() const = 0;
    // Re-apply tbar1/tbar2/tbar2mode from the store at once (settings dialog).
    // toolbar/buttons: 1 show, 0 hide, -1 leave as it is.
    virtual void applyBars(int toolbar, int buttons) = 0;
};
