#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>

#include "page_fetcher.h"

class Clock;
class Persistence;
class StateStore;
class StatusLine;

// Keeps armed slots in step with auctions that end later than first read: a
// bid in the last minutes moves the end of an auction with automatic
// extension. Near a slot's end its page is read again; a later end moves the
// slot's end, so its lead comes round again and it alerts again.
//
// It only rewrites EndTimeN and edN and saves; ending a slot and showing a
// desktop notification are asked for through its signals.
class ExtensionFollower : public QObject
{
    Q_OBJECT
public:
    // The page is read at the slot's alert, and during this many last seconds
    // at most once per interval.
    static constexpr int kFollowSeconds = 600;
    static constexpr int kIntervalSeconds = 60;

    // Follows StateStore::tick on its own. `fetcher` must outlive it.
    ExtensionFollower(StateStore &store, Persistence &persistence, const Clock &clock, PageFetcher &fetcher,
        StatusLine &statusLine, QObject *parent = nullptr);
    ~ExtensionFollower() override;

Q_SIGNALS:
    // The auction of slot n has ended before its time: end the slot now, as
    // at its end. Its edN already counts no seconds left.
    void slotEndedEarly(int n);
    // A text for the desktop notification ("終了時間が延長されました（…）").
    void notification(const QString &text);

private:
    struct Follow
    {
        PageFetcher::Id pending = 0;
        QString url;
        QDateTime lastFetch;
        bool alertAhead = false; // the time left was above the lead since the last alert read
    };

    void onTick(int n);
    void onArmedChanged(int n, bool armed);
    void onFetched(int n, const QString &url, const FetchResult &result);
    void cancel(int n);

    StateStore &m_store;
    Persistence &m_persistence;
    const Clock &m_clock;
    PageFetcher &m_fetcher;
    StatusLine &m_statusLine;
    std::array<Follow, 10> m_follow;
};
