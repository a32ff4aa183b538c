#include "slot.h"

#include "clock.h"
#include "numeric.h"
#include "settings_fields.h"
#include "state_store.h"
#include "time_text.h"

using namespace Qt::StringLiterals;

Slot::Slot(StateStore &store, int n)
    : m_store(store)
    , m_n(n)
{
}

void Slot::clear()
{
    for (const QString &family : { u"reTime"_s, u"TimerText"_s, u"starttime"_s, u"EndTime"_s, u"URL"_s })
        m_store.setSlotValue(family, m_n, QString());
    m_store.disarm(m_n);
}

void Slot::countTo(const QDateTime &end, const QDateTime &now)
{
    const QDateTime whole = now.addMSecs(-now.time().msec());
    m_store.setSlotValue(u"st"_s, m_n, u"0"_s);
    m_store.setSlotValue(u"ed"_s, m_n, plainNumber(double(whole.secsTo(end))));
}

void Slot::armUntil(const QDateTime &end, const QDateTime &now)
{
    countTo(end, now);
    m_store.arm(m_n, 1000 - now.time().msec());
}

QDateTime Slot::end() const
{
    const TimeTextParts parts = readTimeText(m_store.slotValue(u"EndTime"_s, m_n));
    return parts.isValid() ? japanDateTime(parts.date, parts.time) : QDateTime();
}

double Slot::lead() const
{
    const QString own = m_store.slotValue(u"reTime"_s, m_n);
    return numericValue(own.isEmpty() ? m_store.value(Setting::kLeadSeconds) : own);
}

double Slot::secondsLeft() const
{
    return numericValue(m_store.slotValue(u"ed"_s, m_n)) - numericValue(m_store.slotValue(u"st"_s, m_n));
}
