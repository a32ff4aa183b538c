#pragma once

#include "browser_host.h"

#include <QObject>
#include <QString>
#include <QUrl>

class QWidget;

// What navigate() loads for an address: an http(s) URL, a local file (an
// absolute path or a file: URL), or a bare host name taken as http. Anything
// else gives an empty URL.
QUrl browserAddress(const QString &address);
// http, https or file: the only kinds of page the browser loads.
bool isBrowsableUrl(const QUrl &url);

// The embedded browser as the window and the rest of the program use it. Only
// the engine's own implementation knows which browser stands behind it, so
// layout and command tests can run over a fake.
class BrowserEngine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The widget that shows the pages; the window places it.
    virtual QWidget *widget() const = 0;

    // Starts loading an http(s) address or a local file path. Addresses of
    // other kinds (javascript:, data:, ...) are ignored: they arrive from
    // settings files and bookmarks, and must not run anything.
    virtual void navigate(const QString &address) = 0;
    // False, and nothing happens, when there is no page in that direction.
    virtual bool goBack() = 0;
    virtual bool goForward() = 0;
    virtual void reload() = 0;
    virtual void stop() = 0;

    // The address of the page now shown, percent-encoded.
    virtual QString locationUrl() const = 0;
    // The page title.
    virtual QString locationName() const = 0;
    // What the browser sends as User-Agent, so a second fetch looks the same.
    virtual QString userAgent() const = 0;
    // Gathers the links of the page now shown; linksCollected() brings them.
    virtual void collectLinks() = 0;

Q_SIGNALS:
    // The link under the pointer, or the loading state when there is none.
    void statusTextChanged(const QString &text);
    void titleChanged(const QString &title);
    // A new top-level document has arrived: its response is in, though its
    // parsing, images, scripts and frames may still be loading. Not every
    // document reports it (an error page may only complete).
    void documentArrived(const QString &url);
    // A document finished loading (successfully or not); `topLevel` is false
    // for frames.
    void documentComplete(bool topLevel, const QString &url);
    void linksCollected(const PageLinks &page);
};
