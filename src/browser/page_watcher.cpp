#include "page_watcher.h"

#include "log.h"
#include "page_fetcher.h"
#include "service_clock.h"
#include "service_time.h"
#include "time_text.h"

#include <QUrl>

using namespace Qt::StringLiterals;

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

PageWatcher::PageWatcher(ServiceClock &clock, PageFetcher &fetcher, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_fetcher(fetcher)
{
}

PageWatcher::~PageWatcher()
{
    if (m_pending)
        m_fetcher.cancel(m_pending);
}

void PageWatcher::setUserAgent(const QString &userAgent)
{
    m_fetcher.setUserAgent(userAgent);
}

bool PageWatcher::givesTimes() const
{
    return m_reading && (!m_reading->start.isEmpty() || !m_reading->end.isEmpty());
}

void PageWatcher::forget()
{
    ++m_page;
    m_reading.reset();
}

void PageWatcher::documentComplete(bool topLevel, const QString &url)
{
    if (!topLevel) {
        Q_EMIT timerMenuEnabled(givesTimes());
        return;
    }
    const QString address = spaceTrimmed(url);

    // A newer page makes the older page's answer worthless, and what was
    // read always belongs to the page now shown, never to the one before it.
    if (m_pending)
        m_fetcher.cancel(std::exchange(m_pending, 0));
    ++m_page;
    m_reading.reset();
    Q_EMIT timerMenuEnabled(false);
    if (!isFetched(address)) {
        qCDebug(lcBrowser) << "page" << address << "is not on the web: not read";
        return;
    }

    const QUrl pageUrl(address);
    m_pending = m_fetcher.fetch(pageUrl, [this, pageUrl](const FetchResult &result) {
        m_pending = 0;
        if (!result.ok) {
            qCInfo(lcBrowser) << "page" << pageUrl.toDisplayString()
                              << "could not be read again:" << result.error << "- the timer menu stays off";
            return;
        }
        m_reader.read(pageUrl, result, serviceToday(m_clock, pageUrl),
            [this, pageUrl, page = m_page](const FetchResult &read, const PageReading &reading) {
                if (page != m_page)
                    return; // another page is shown now
                learnServiceTime(m_clock, pageUrl, read, reading);
                qCInfo(lcBrowser).noquote()
                    << "page" << pageUrl.toDisplayString() << "read:" << described(reading);
                m_reading = reading;
                if (reading.complete)
                    Q_EMIT timerMenuEnabled(givesTimes());
            });
    });
}
