#pragma once

#include <QDBusConnection>
#include <QObject>

// Says when the machine wakes from suspend (logind's PrepareForSleep(false)).
// Timers run on a clock that stops in suspend: a slot asleep until its next
// moment would otherwise wake as late as the machine slept.
class ResumeWatcher : public QObject
{
    Q_OBJECT
public:
    explicit ResumeWatcher(QDBusConnection system, QObject *parent = nullptr);

    // Whether logind's signal is being listened to (no system bus, no logind: no).
    bool listening() const { return m_listening; }

Q_SIGNALS:
    void resumed();

public Q_SLOTS:
    // From logind: true before a suspend, false after the resume.
    void prepareForSleep(bool starting);

private:
    bool m_listening = false;
};
