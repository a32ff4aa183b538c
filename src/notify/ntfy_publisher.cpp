#include "ntfy_publisher.h"

#include "remote_notice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>

using namespace Qt::StringLiterals;

namespace {

const char *const kAborted = "larkvaneAborted";

// What the server said: ntfy answers an error with JSON ({"http":401,
// "error":"unauthorized"}), a proxy in front of it perhaps with a page.
QString serverAnswer(int status, const QByteArray &body)
{
    QString words;
    const QJsonObject json = QJsonDocument::fromJson(body).object();
    if (json.contains(u"error"_s))
        words = json.value(u"error"_s).toString();
    else if (!body.trimmed().startsWith('<'))
        words = QString::fromUtf8(body.trimmed().left(200)).section(u'\n', 0, 0);
    return words.isEmpty() ? QString::number(status) : QString::number(status) + u' ' + words;
}

SendOutcome outcomeOf(QNetworkReply *reply, bool timedOut, int timeoutMs)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300)
        return { true, u"サーバーに届きました。"_s };
    if (status >= 300)
        return { false, u"サーバーの答え: "_s + serverAnswer(status, reply->readAll()) };
    if (timedOut)
        return { false, u"サーバーが %1 秒以内に答えませんでした。"_s.arg(timeoutMs / 1000.0) };
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return { false, u"サーバーに接続できませんでした（接続を拒否されました）。"_s };
    case QNetworkReply::HostNotFoundError:
        return { false, u"サーバーが見つかりません（%1）。"_s.arg(reply->url().host()) };
    case QNetworkReply::SslHandshakeFailedError:
        return { false, u"サーバーの証明書を確かめられませんでした（%1）。"_s.arg(reply->errorString()) };
    default:
        return { false, u"送れませんでした（%1）。"_s.arg(reply->errorString()) };
    }
}

} // namespace

NtfyPublisher::NtfyPublisher(QObject *parent)
    : QObject(parent)
{
}

void NtfyPublisher::publish(const QUrl &topicUrl, const QString &token, const RemoteNotice &notice,
    int timeoutMs, std::function<void(const SendOutcome &)> done)
{
    QNetworkRequest request(topicUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"text/plain; charset=utf-8"_s);
    request.setRawHeader("Title", "Larkvane");
    const bool alert = notice.kind == RemoteNotice::Kind::Alert;
    request.setRawHeader("Priority", alert ? "5" : "3");
    request.setRawHeader("Tags", alert ? "alarm_clock" : "information_source");
    // A tap on the notification opens the item; only a web address makes
    // sense on a phone (a slot may hold a local file).
    const QUrl item(notice.itemUrl);
    if (item.isValid() && (item.scheme() == u"https"_s || item.scheme() == u"http"_s))
        request.setRawHeader("Click", item.toEncoded());
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    request.setTransferTimeout(timeoutMs);

    QNetworkReply *reply = m_network.post(request, notice.textWithTitle().toUtf8());
    ++m_inFlight;
    // Qt ends a reply that outlives its transfer time-out as cancelled, and
    // so does an abort of ours, which marks the reply first.
    connect(reply, &QNetworkReply::finished, this, [this, reply, timeoutMs, done = std::move(done)] {
        --m_inFlight;
        reply->deleteLater();
        const bool cancelled = reply->error() == QNetworkReply::OperationCanceledError;
        if (cancelled && reply->property(kAborted).toBool())
            done({ false, u"終了のため送るのをやめました。"_s });
        else
            done(outcomeOf(reply, cancelled, timeoutMs));
    });
}

void NtfyPublisher::abortAll()
{
    for (QNetworkReply *reply : m_network.findChildren<QNetworkReply *>()) {
        if (reply->isRunning()) {
            reply->setProperty(kAborted, true);
            reply->abort();
        }
    }
}
