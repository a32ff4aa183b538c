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
// A page can lie: a cached copy states the seconds left when it was made,
// minutes ago. So a page moves the clock only when its reply's own time (Date
// plus Age) and the readings already taken agree with it within kAgreeMs;
// where a host's readings all say something new, it takes kReadsToMove of
// them agreeing among themselves. Each read is put at the middle of its round
// trip; of the readings taken, a page's figure (to the millisecond) beats a
// header's (to the second), and the shortest round trip wins.
class ServiceClock final : public QObject, public Clock
{
    Q_OBJECT
public:
    static constexpr int kReadsKept = 8;
    static constexpr qint64 kAgreeMs = 3000;
    static constexpr int kReadsToMove = 3;
    // Below this the difference is not worth a word to the user.
    static constexpr qint64 kNoticeMs = 2000;

    // What one reply said of the service's clock.
    struct Reply
    {
        QDateTime pageTime; // by the page's own seconds left
        QDateTime headerTime; // by its Date (and Age) header, to the second
        qint64 roundTripMs = 0;
    };

    explicit ServiceClock(const Clock &local, QObject *parent = nullptr);

    // The service's time by the host heard from last (the machine's until one is).
    QDateTime now() const override;
    QDateTime now(const QString &host) const;

    // A reply of `host` has just arrived.
    void learn(const QString &host, const Reply &reply);

    // The service's clock minus the machine's, as the readings of `host` agree.
    std::optional<qint64> offsetMs(const QString &host) const;

    // The text said to the user about an offset.
    static QString noticeText(qint64 offsetMs);

Q_SIGNALS:
    // Once a start-up, and again when the offset moves by kNoticeMs or more;
    // only for an offset that more than one reading shows.
    void offsetNoticed(const QString &text);

private:
    enum class Source { PageData, DateHeader };
    struct Read
    {
        qint64 offsetMs;
        qint64 roundTripMs;
        Source source;
        // Shown by two witnesses: a page and its reply's header, or readings
        // of separate replies. A header alone is the service's clock itself.
        bool vouched;
    };
    struct Host
    {
        QList<Read> taken;
        QList<Read> apart; // readings that disagree with those taken
    };

    static const Read *best(const QList<Read> &reads);
    static bool agree(qint64 a, qint64 b);
    // Shown by more than one witness: the offset the readings agree on.
    static bool shown(const Host &h);
    void take(Host &h, const Read &r);

    const Clock &m_local;
    QHash<QString, Host> m_hosts;
    QString m_lastHost;
    std::optional<qint64> m_told;
};
