#pragma once

#include "background_page_reader.h"
#include "item_links.h"
#include "list_page.h"
#include "page_fetcher.h"
#include "registration.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class ServiceClock;

// What reading one item page found, or what its list said of it.
struct ItemRead
{
    enum class State {
        Waiting, // for a read of its page
        Open, // an auction with an end still to come: it can be registered
        Closed,
        Unreadable, // no answer, an error page, or no auction on it
        Cancelled,
    };
    QString id;
    State state = State::Waiting;
    // The name, address and times a registration takes; the end is set
    // for closed auctions too, where the page gives it.
    Registrable item;
    // Why it cannot be registered, as the list shows it.
    QString why;
};

// Reads item pages through the same fetch and page readers as a registration
// from the browser window, a few at a time, so that a list of fifty neither
// waits for each in turn nor floods the service.
class ItemReads : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxItems = 50;
    static constexpr int kAtOnce = 4;

    // `fetcher` must outlive the reads.
    ItemReads(ServiceClock &clock, PageFetcher &fetcher, QObject *parent = nullptr);
    ~ItemReads() override;

    // Takes the first kMaxItems of `items` and reads the page of each that
    // is Waiting; an earlier run is cancelled. itemRead() comes at once for
    // each of the others.
    void start(const QList<ItemRead> &items);
    // Whatever is not read yet stays unread; nothing more is fetched.
    void cancel();

    bool isRunning() const { return m_done < m_items.size(); }
    int doneCount() const { return int(m_done); }
    const QList<ItemRead> &items() const { return m_items; }
    // Where the pages of these reads are read, the list page's own among them.
    BackgroundPageReader &reader() { return m_reader; }

    // One page's reading, for a registration by address as for the list:
    // decoded and read on `reader`'s thread, judged on the service's clock
    // on this one.
    using Read = std::function<void(const ItemRead &)>;
    static void read(BackgroundPageReader &reader, ServiceClock &clock, const LinkedAuction &auction,
        const FetchResult &result, Read done);
    // Auctions known only by their address: each waits for a read.
    static QList<ItemRead> unread(const QList<LinkedAuction> &auctions);
    // What a list page says of its auctions, as a read would say it; those
    // it gives no end for wait for a read of their page. The list gives no
    // start: such a slot starts as "N/A".
    static QList<ItemRead> listed(const ListPageReading &list, ServiceClock &clock);

Q_SIGNALS:
    void itemRead(int index);
    void finished();

private:
    void startNext();

    ServiceClock &m_clock;
    PageFetcher &m_fetcher;
    QList<ItemRead> m_items;
    QList<PageFetcher::Id> m_pending; // per item; 0 when none in flight
    qsizetype m_next = 0;
    qsizetype m_done = 0;
    // Reads of an earlier run that come back are dropped.
    quint64 m_run = 0;
    // Last: gone first, with any reading still on its way.
    BackgroundPageReader m_reader;
};
