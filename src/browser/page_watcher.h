#pragma once

#include "background_page_reader.h"
#include "page_recognizer.h"

#include <QObject>
#include <QString>

#include <optional>

class ServiceClock;
class PageFetcher;

// Reads the page the browser window shows for its auction's times, each
// time its top-level document is complete, and says whether the timer menu
// is usable. The page is fetched again asynchronously: nothing waits for the
// server. What it found is the reading a registration takes.
class PageWatcher : public QObject
{
    Q_OBJECT
public:
    // `fetcher` must outlive the watcher: a fetch in flight is cancelled on
    // destruction.
    PageWatcher(ServiceClock &clock, PageFetcher &fetcher, QObject *parent = nullptr);
    ~PageWatcher() override;

    // One document-complete event: `topLevel` says whether it belongs to the
    // top-level document (not a frame).
    void documentComplete(bool topLevel, const QString &url);
    // The page shown gives nothing to register from now on (the search page
    // is about to replace it).
    void forget();

    // What the page now shown was read as; none while it is being read, or
    // when it is not on the web.
    const std::optional<PageReading> &reading() const { return m_reading; }

    // The user agent the fetch sends (the browser's own).
    void setUserAgent(const QString &userAgent);

Q_SIGNALS:
    // The timer menu's enabled state after an event's handling.
    void timerMenuEnabled(bool enabled);

private:
    bool givesTimes() const;

    ServiceClock &m_clock;
    PageFetcher &m_fetcher;
    quint64 m_pending = 0;
    // Which page is shown: a reading of an earlier one is let go.
    quint64 m_page = 0;
    std::optional<PageReading> m_reading;
    BackgroundPageReader m_reader;
};
