#pragma once

#include "clock.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

// The auction service's own clock. An auction ends when the service's clock
// says so, and this machine's clock may be half a minute off it: every page
// read tells what the service's clock said when it made the page, and this
// clock runs that far from the machine's.
//
// Each read is put at the middle of its round trip; of the last reads of a
// host, the one with the shortest round trip is the best guess. The seconds
// left that a page states are exact to the millisecond; a reply's Date
// header only to the second, so it counts only where no page has spoken.
class ServiceClock final : public QObject, public Clock
{
    Q_OBJECT
public:
    enum class Source { PageData, DateHeader };
    static constexpr int kReadsKept = 8;
    // Below this the difference is not worth a word to the user.
    static constexpr qint64 kNoticeMs = 2000;

    explicit ServiceClock(const Clock &local, QObject *parent = nullptr);

    // The service's time by the host heard from last (the machine's until one is).
    QDateTime now() const override;
    QDateTime now(const QString &host) const;

    // A reply of `host` that took `roundTripMs` and has just arrived was made
    // when the service's clock said `serviceTime`.
    void learn(const QString &host, const QDateTime &serviceTime, qint64 roundTripMs, Source source);

    // The service's clock minus the machine's, when a read of `host` told it.
    std::optional<qint64> offsetMs(const QString &host) const;

    // The text said to the user about an offset.
    static QString noticeText(qint64 offsetMs);

Q_SIGNALS:
    // Once a start-up, and again when the offset moves by kNoticeMs or more.
    void offsetNoticed(const QString &text);

private:
    struct Read
    {
        qint64 offsetMs;
        qint64 roundTripMs;
        Source source;
    };

    const Clock &m_local;
    QHash<QString, QList<Read>> m_reads;
    QString m_lastHost;
    std::optional<qint64> m_told;
};
