#pragma once

#include "send_outcome.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>

#include <functional>

struct RemoteNotice;

// Publishes to an ntfy topic with its documented HTTP API: a POST of the text
// to <server>/<topic>, the rest in headers (Title, Priority, Tags, Click,
// Authorization). Nothing waits: the answer comes to `done` later, on this
// thread, at the latest when `timeoutMs` have passed without one.
class NtfyPublisher : public QObject
{
    Q_OBJECT
public:
    explicit NtfyPublisher(QObject *parent = nullptr);

    void publish(const QUrl &topicUrl, const QString &token, const RemoteNotice &notice, int timeoutMs,
        std::function<void(const SendOutcome &)> done);
    int inFlight() const { return m_inFlight; }
    // Every publish under way ends now, as failed.
    void abortAll();

private:
    QNetworkAccessManager m_network;
    int m_inFlight = 0;
};
