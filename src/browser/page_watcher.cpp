#include "page_watcher.h"

#include "log.h"
#include "page_fetcher.h"
#include "page_recognizer.h"
#include "service_clock.h"
#include "service_time.h"
#include "state_store.h"

#include <QUrl>

using namespace Qt::StringLiterals;

struct PageWatcher::Private
{
    StateStore &store;
    ServiceClock &clock;
    PageFetcher &fetcher;
    PageFetcher::Id pending = 0;
};

namespace {

QString spaceTrimmed(const QString &text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text[b] == u' ')
        ++b;
    while (e > b && text[e - 1] == u' ')
        --e;
    return text.mid(b, e - b);
}

// What a reading found, for the log.
QString described(const PageReading &reading)
{
    QString found;
    if (reading.closed)
        found = u"the auction has ended"_s;
    else if (reading.start.isEmpty() && reading.end.isEmpty())
        found = u"no auction times"_s;
    else
        found = u"start "_s + reading.start + u", end "_s + reading.end
            + (reading.exactSeconds ? u" (to the second)"_s : QString());
    if (!reading.complete)
        found += u"; the reading broke off midway, the timer menu is left as it was"_s;
    return found;
}

bool isFetched(const QString &url)
{
    return url.startsWith(u"http://"_s) || url.startsWith(u"https://"_s);
}

} // namespace

PageWatcher::PageWatcher(StateStore &store, ServiceClock &clock, PageFetcher &fetcher, QObject *parent)
    : QObject(parent)
    , d(new Private { store, clock, fetcher })
{
}

PageWatcher::~PageWatcher()
{
    if (d->pending)
        d->fetcher.cancel(d->pending);
    delete d;
}

void PageWatcher::setUserAgent(const QString &userAgent)
{
    d->fetcher.setUserAgent(userAgent);
}

void PageWatcher::documentComplete(bool topLevel, const QString &url)
{
    auto updateMenu = [this] {
        Q_EMIT timerMenuEnabled(
            !d->store.value(u"tmpsttime"_s).isEmpty() || !d->store.value(u"tmpedtime"_s).isEmpty());
    };
    if (!topLevel) {
        updateMenu();
        return;
    }

    const QString address = spaceTrimmed(url);
    d->store.setValue(u"txtURL"_s, address);

    // A newer page makes the older page's answer worthless.
    if (d->pending) {
        d->fetcher.cancel(d->pending);
        d->pending = 0;
    }
    // The scratch times always belong to the page now shown, never to the
    // one before it.
    for (const QString &field : { u"tmpsttime"_s, u"tmpedtime"_s, u"tmpedsec"_s, u"tmptitle"_s })
        d->store.setValue(field, QString());
    updateMenu();
    if (!isFetched(address)) {
        qCDebug(lcBrowser) << "page" << address << "is not on the web: not read";
        return;
    }

    const QDate today = d->clock.now().toOffsetFromUtc(kJapanOffsetSeconds).date();
    const QUrl pageUrl(address);
    d->pending = d->fetcher.fetch(pageUrl, [this, pageUrl, today, updateMenu](const FetchResult &result) {
        d->pending = 0;
        if (!result.ok) {
            qCInfo(lcBrowser) << "page" << pageUrl.toDisplayString()
                              << "could not be read again:" << result.error << "- the timer menu stays off";
            return;
        }
        d->store.setValue(u"Text1"_s, result.text());
        const QString source = d->store.value(u"Text1"_s);
        const PageReading reading = recognizePage(source, result.body, pageUrl, today);
        qCInfo(lcBrowser).noquote() << "page" << pageUrl.toDisplayString() << "read:" << described(reading);
        learnServiceTime(d->clock, pageUrl, result, reading);
        d->store.setValue(u"tmpsttime"_s, reading.start);
        d->store.setValue(u"tmpedtime"_s, reading.end);
        if (!reading.end.isEmpty()) {
            // The slot's count starts from the exact second where the page
            // gives it, and today's titles are cut in the caption.
            if (reading.exactSeconds)
                d->store.setValue(u"tmpedsec"_s, QString::number(reading.endAt.toSecsSinceEpoch()));
            d->store.setValue(u"tmptitle"_s, reading.title);
        }
        if (reading.complete)
            updateMenu();
    });
}
