#include "state_store.h"

#include <algorithm>

#include "log.h"

using namespace Qt::StringLiterals;

namespace {

const QHash<QString, QString> &initialTexts()
{
    static const QHash<QString, QString> texts = {
        { u"infotime"_s, u"0"_s },
        { u"x_pos"_s, u"0"_s },
        { u"y_pos"_s, u"0"_s },
        { u"w_width"_s, u"0"_s },
        { u"w_height"_s, u"0"_s },
        { u"tbar1"_s, u"0"_s },
        { u"tbar2"_s, u"0"_s },
        { u"tbar2mode"_s, u"0"_s },
        { u"Tnum"_s, u"0"_s },
    };
    return texts;
}

} // namespace

StateStore::StateStore(QObject *parent)
    : QObject(parent)
{
    for (int n = 1; n <= kSlots; ++n) {
        auto *t = new QTimer(this);
        t->setObjectName(u"Timer"_s + QString::number(n));
        t->setInterval(1000);
        // A late tick lags the count instead of bunching up; precise keeps
        // the second close to a second.
        t->setTimerType(Qt::PreciseTimer);
        connect(t, &QTimer::timeout, this, [this, t, n] {
            if (t->interval() != 1000)
                t->setInterval(1000);
            Q_EMIT tick(n);
        });
        m_timers[n - 1] = t;
    }
}

QString StateStore::value(const QString &name) const
{
    auto it = m_fields.constFind(name);
    if (it != m_fields.constEnd())
        return *it;
    return initialTexts().value(name);
}

void StateStore::setValue(const QString &name, const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    const QString kept = nul < 0 ? text : text.left(nul);
    const QString before = value(name);
    m_fields.insert(name, kept);
    if (kept != before)
        Q_EMIT valueChanged(name, kept);
}

QString StateStore::slotField(const QString &family, int n)
{
    return family + QString::number(n);
}

void StateStore::arm(int n, int firstTickMs)
{
    if (n < 1 || n > kSlots)
        return;
    if (isArmed(n))
        return;
    m_timers[n - 1]->start(std::clamp(firstTickMs, 1, 1000));
    qCInfo(lcState).nospace().noquote() << "slot " << n << " armed: 「" << slotValue(u"TimerText"_s, n)
                                        << "」, ends " << slotValue(u"EndTime"_s, n) << ", count "
                                        << slotValue(u"st"_s, n) << " of " << slotValue(u"ed"_s, n) << " s";
    Q_EMIT armedChanged(n, true);
}

void StateStore::disarm(int n)
{
    if (n < 1 || n > kSlots)
        return;
    if (!isArmed(n))
        return;
    m_timers[n - 1]->stop();
    qCInfo(lcState).nospace().noquote() << "slot " << n << " disarmed at count " << slotValue(u"st"_s, n)
                                        << " of " << slotValue(u"ed"_s, n) << " s";
    Q_EMIT armedChanged(n, false);
}

void StateStore::setNextTick(int n, int ms)
{
    if (!isArmed(n))
        return;
    m_timers[n - 1]->setInterval(std::max(ms, 1));
}

bool StateStore::isArmed(int n) const
{
    if (n < 1 || n > kSlots)
        return false;
    return m_timers[n - 1]->isActive();
}

QTimer *StateStore::timer(int n) const
{
    return (n >= 1 && n <= kSlots) ? m_timers[n - 1] : nullptr;
}
