#include "page_fetcher.h"

#include "clock.h"
#include "cp932_codec.h"
#include "log.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;

namespace {

void releaseFreedMemory()
{
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

} // namespace

QString FetchResult::text() const
{
    return Cp932::decode(body);
}

NetworkPageFetcher::NetworkPageFetcher(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
}

NetworkPageFetcher::~NetworkPageFetcher()
{
    // Callbacks must not run into a half-destroyed owner.
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
        drop(*it);
    m_pending.clear();
}

bool NetworkPageFetcher::isReadableStatus(int status)
{
    // 2xx is the page; 4xx still carries one (a closed auction is a 404 with
    // the whole item page). 5xx speaks of the server, not of the auction, and
    // a 3xx left after following redirects has no page at all.
    return (status >= 200 && status < 300) || (status >= 400 && status < 500);
}

QDateTime NetworkPageFetcher::parseHttpDate(const QByteArray &value)
{
    // Qt reads RFC 2822 dates, whose zone is numeric; HTTP's is "GMT".
    QString text = QString::fromLatin1(value).trimmed();
    if (text.endsWith(u" GMT"_s))
        text = text.chopped(3) + u"+0000"_s;
    return QDateTime::fromString(text, Qt::RFC2822Date);
}

PageFetcher::Id NetworkPageFetcher::fetch(const QUrl &url, Callback done)
{
    const Id id = m_nextId++;
    Pending p;
    p.done = std::move(done);

    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http"_s && scheme != u"https"_s)) {
        // Same contract as a network failure: reported later, never inline.
        p.timer = new QTimer(this);
        p.timer->setSingleShot(true);
        connect(p.timer, &QTimer::timeout, this, [this, id] { finish(id); });
        p.timer->start(0);
        m_pending.insert(id, std::move(p));
        return id;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (!m_userAgent.isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);

    qCInfo(lcBrowser) << "fetch" << id << "of" << url.toDisplayString() << "started";
    p.sent.start();
    p.reply = m_manager->get(request);
    p.timer = new QTimer(this);
    p.timer->setSingleShot(true);
    QNetworkReply *reply = p.reply;
    connect(p.timer, &QTimer::timeout, this, [this, id] {
        auto it = m_pending.find(id);
        if (it == m_pending.end() || !it->reply)
            return;
        qCInfo(lcBrowser) << "fetch" << id << "timed out after" << m_timeoutMs << "ms";
        it->timedOut = true;
        it->reply->abort();
    });
    // The body is taken as it arrives and counted here: left in the reply, a
    // server streaming without end would have it buffer until the cap is
    // seen, and a declared length alone says nothing of a chunked reply.
    reply->setReadBufferSize(kReadBufferBytes);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, id] {
        auto it = m_pending.find(id);
        if (it == m_pending.end() || !it->reply)
            return;
        const QVariant declared = it->reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid() && declared.toLongLong() > m_maxBodyBytes)
            dropTooLarge(id, *it);
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, id] {
        auto it = m_pending.find(id);
        if (it == m_pending.end() || !it->reply || it->tooLarge)
            return;
        const qint64 available = it->reply->bytesAvailable();
        it->received += available;
        if (it->body.size() + available > m_maxBodyBytes) {
            dropTooLarge(id, *it);
            return;
        }
        it->body += it->reply->read(available);
    });
    connect(reply, &QNetworkReply::finished, this, [this, id] { finish(id); });
    p.timer->start(m_timeoutMs);
    m_pending.insert(id, std::move(p));
    return id;
}

void NetworkPageFetcher::cancel(Id id)
{
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    Pending p = std::move(*it);
    m_pending.erase(it);
    qCDebug(lcBrowser) << "fetch" << id << "cancelled";
    drop(p);
}

void NetworkPageFetcher::drop(Pending &p)
{
    if (p.timer) {
        p.timer->stop();
        p.timer->deleteLater();
        p.timer = nullptr;
    }
    if (p.reply) {
        QNetworkReply *reply = p.reply;
        p.reply = nullptr;
        reply->disconnect(this);
        if (!reply->isFinished())
            reply->abort();
        // Megabytes freed by the reply, by the network thread and by us can
        // stay with the allocator, spread over its arenas, and the tray
        // process would keep a large read's size for good: once the reply is
        // gone, they go back to the system.
        if (p.received > kReleaseAfterBytes)
            connect(reply, &QObject::destroyed, [] { releaseFreedMemory(); });
        reply->deleteLater();
    }
    p.done = nullptr;
}

void NetworkPageFetcher::dropTooLarge(Id id, Pending &p)
{
    qCInfo(lcBrowser) << "fetch" << id << "dropped: the body is over" << m_maxBodyBytes << "bytes";
    p.tooLarge = true;
    p.body = QByteArray();
    p.reply->abort();
}

void NetworkPageFetcher::finish(Id id)
{
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return;
    Pending p = std::move(*it);
    m_pending.erase(it);

    FetchResult result;
    if (!p.reply) {
        result.error = u"not an http(s) address"_s;
    } else {
        QNetworkReply *reply = p.reply;
        result.finalUrl = reply->url();
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.roundTripMs = p.sent.elapsed();
        result.serverDate = parseHttpDate(reply->rawHeader("Date"));
        // A cache keeps the Date of the page it holds and tells its age apart.
        bool aged = false;
        const qint64 age = reply->rawHeader("Age").trimmed().toLongLong(&aged);
        if (aged && age > 0 && age < kYearSeconds && result.serverDate.isValid())
            result.serverDate = result.serverDate.addSecs(age);
        const QNetworkReply::NetworkError error = reply->error();
        // Content errors (201..299) are the 4xx statuses: their body is read.
        const bool contentError = error > QNetworkReply::NoError
            && error >= QNetworkReply::ContentAccessDenied && error < QNetworkReply::ProtocolUnknownError;
        if (p.timedOut) {
            result.error = u"no complete answer in time"_s;
        } else if (p.tooLarge || p.body.size() + reply->bytesAvailable() > m_maxBodyBytes) {
            result.error = u"body too large"_s;
        } else if (result.status == 0) {
            result.error = reply->errorString();
        } else if (!isReadableStatus(result.status)) {
            result.error = u"HTTP status "_s + QString::number(result.status);
        } else if (error != QNetworkReply::NoError && !contentError) {
            // The connection broke mid-body: a cut page would be read wrongly.
            result.error = reply->errorString();
        } else {
            result.body = std::move(p.body);
            result.body += reply->readAll();
            result.ok = true;
        }
    }
    if (result.ok)
        qCInfo(lcBrowser) << "fetch" << id << "of" << result.finalUrl.toDisplayString() << "gave status"
                          << result.status << "with" << result.body.size() << "bytes";
    else
        qCInfo(lcBrowser) << "fetch" << id << "failed, status" << result.status << "-" << result.error;
    Callback done = std::move(p.done);
    p.done = nullptr;
    drop(p);
    if (done)
        done(result);
}
