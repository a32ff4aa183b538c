#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

// The one record of the running program: every setting, the ten slots and the
// scratch fields, as named text fields, plus the ten one-second slot
// countdowns Timer1 ... Timer10, whose enabled state is the slot's "armed".
class StateStore : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSlots = 10;

    explicit StateStore(QObject *parent = nullptr);

    // A field nothing has set holds its initial text (most are empty).
    QString value(const QString &name) const;
    // Keeps only the part before a NUL.
    void setValue(const QString &name, const QString &text);

    // Slot fields by family and number: slotValue(u"TimerText"_s, 3).
    static QString slotField(const QString &family, int n);
    QString slotValue(const QString &family, int n) const { return value(slotField(family, n)); }
    void setSlotValue(const QString &family, int n, const QString &text)
    {
        setValue(slotField(family, n), text);
    }

    // Every field that has been set, as set (fields never set are absent).
    QHash<QString, QString> fields() const { return m_fields; }

    bool isOccupied(int n) const { return !slotValue(QStringLiteral("TimerText"), n).isEmpty(); }

    // The first tick comes after `firstTickMs` (1 to 1000), every later one a
    // second after the one before: arming at 12:00:00.250 with 750 puts the
    // ticks on the whole seconds, so the count meets the clock's seconds and
    // slots armed at different moments wake the program together.
    void arm(int n, int firstTickMs = 1000);
    // Moves slot n's next tick to `ms` from now (a slot that fell out of step
    // after a stop, or one that sleeps until its next moment); the ticks
    // after it are a second apart again.
    void setNextTick(int n, int ms);
    void disarm(int n);
    bool isArmed(int n) const;
    // The timer behind slot n, for tests and the bench (never null for 1..10).
    QTimer *timer(int n) const;

Q_SIGNALS:
    // A field's text changed (setting the text it already has says nothing).
    void valueChanged(const QString &name, const QString &text);
    // Raised every second while slot n is armed.
    void tick(int n);
    void armedChanged(int n, bool armed);

private:
    QHash<QString, QString> m_fields;
    std::array<QTimer *, kSlots> m_timers {};
};
