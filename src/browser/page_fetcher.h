#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// What one fetch of a page brought back.
struct FetchResult
{
    // False on a transfer error, a time-out, a body too large to hold, or a
    // status that says nothing about the page (see NetworkPageFetcher).
    bool ok = false;
    int status = 0; // HTTP status; 0 when no response arrived
    QUrl finalUrl; // after redirects
    QByteArray body;
    QString error; // why it failed, for logs; never shown to the user
    // From the request sent to the reply complete, on a steady clock; -1
    // when nothing was sent.
    qint64 roundTripMs = -1;
    // The service's time when the reply left it, to the second: its Date
    // header, and the Age a cache on the way adds; invalid without a Date.
    QDateTime serverDate;

    // The body as the page reader reads it: code page 932, whatever the page
    // says its charset is.
    QString text() const;
};

// Fetches a page a second time, apart from the browser, so that its source can
// be read. Asynchronous: the window and the countdowns go on meanwhile.
class PageFetcher
{
public:
    using Id = quint64;
    using Callback = std::function<void(const FetchResult &)>;

    virtual ~PageFetcher() = default;

    // Starts a fetch of `url`. `done` runs exactly once, later, from the event
    // loop (never inside fetch()), unless the fetch is cancelled first.
    virtual Id fetch(const QUrl &url, Callback done) = 0;
    // `done` will not run. Unknown or finished ids are ignored.
    virtual void cancel(Id id) = 0;
    // The user agent sent with every later fetch (the browser's own).
    virtual void setUserAgent(const QString &userAgent) = 0;
};

// The fetch over HTTP(S): redirects followed, 15 seconds at most per fetch,
// the body read for error statuses too (closed auctions are served as 404
// with their full page).
class NetworkPageFetcher final : public QObject, public PageFetcher
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 15000;
    // A body beyond this is no auction page; refusing it keeps a hostile or
    // broken server from filling the memory.
    static constexpr qint64 kMaxBodyBytes = 32 * 1024 * 1024;
    // What the network layer may hold ahead of the reader.
    static constexpr qint64 kReadBufferBytes = 256 * 1024;
    // A read of more than this gives its memory back to the system at its end.
    static constexpr qint64 kReleaseAfterBytes = 4 * 1024 * 1024;

    explicit NetworkPageFetcher(QObject *parent = nullptr);
    ~NetworkPageFetcher() override;

    Id fetch(const QUrl &url, Callback done) override;
    void cancel(Id id) override;
    void setUserAgent(const QString &userAgent) override { m_userAgent = userAgent; }

    // For tests that must not wait 15 seconds or send 32 MB.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }

    // Which HTTP statuses carry a page worth reading.
    static bool isReadableStatus(int status);
    // An HTTP date ("Tue, 08 Dec 2026 14:50:00 GMT"); invalid when it is none.
    static QDateTime parseHttpDate(const QByteArray &value);

private:
    struct Pending
    {
        QNetworkReply *reply = nullptr;
        QTimer *timer = nullptr;
        QElapsedTimer sent;
        Callback done;
        QByteArray body; // as much as has arrived
        qint64 received = 0;
        bool timedOut = false;
        bool tooLarge = false;
    };
    void finish(Id id);
    void drop(Pending &p);
    void dropTooLarge(Id id, Pending &p);

    QNetworkAccessManager *m_manager;
    QString m_userAgent;
    int m_timeoutMs = kTimeoutMs;
    qint64 m_maxBodyBytes = kMaxBodyBytes;
    QHash<Id, Pending> m_pending;
    Id m_nextId = 1;
};
