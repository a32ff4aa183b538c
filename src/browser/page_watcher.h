#pragma once

#include <QObject>
#include <QString>

class ServiceClock;
class PageFetcher;
class StateStore;

// Turns the browser's document-complete events into the scratch start and end
// times of the page now shown, and says whether the timer menu is usable.
// The page is fetched again asynchronously: nothing waits for the server.
class PageWatcher : public QObject
{
    Q_OBJECT
public:
    // `fetcher` must outlive the watcher: a fetch in flight is cancelled on
    // destruction.
    PageWatcher(StateStore &store, ServiceClock &clock, PageFetcher &fetcher, QObject *parent = nullptr);
    ~PageWatcher() override;

    // One document-complete event: `topLevel` says whether it belongs to the
    // top-level document (not a frame).
    void documentComplete(bool topLevel, const QString &url);

    // The user agent the fetch sends (the browser's own).
    void setUserAgent(const QString &userAgent);

Q_SIGNALS:
    // The timer menu's enabled state after an event's handling.
    void timerMenuEnabled(bool enabled);

private:
    struct Private;
    Private *d;
};
