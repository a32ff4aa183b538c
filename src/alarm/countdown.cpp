#include "countdown.h"

#include "alert_target.h"
#include "log.h"
#include "numeric.h"
#include "persistence.h"
#include "services.h"
#include "slot.h"
#include "sound_player.h"
#include "state_store.h"
#include "status_line.h"
#include "window_registry.h"

#include <algorithm>
#include <cmath>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

const QString kAlertWindow = u"frmMessage"_s;

bool validSlot(int n)
{
    return n >= 1 && n <= StateStore::kSlots;
}

} // namespace

qint64 Countdown::bootClockMs()
{
    // CLOCK_BOOTTIME, unlike CLOCK_MONOTONIC, counts the time spent in
    // suspend: an auction goes on ending while the laptop sleeps.
    timespec ts {};
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

Countdown::Countdown(Services &services, SteadyClock steady, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_steady(std::move(steady))
{
    connect(&m_services.store, &StateStore::armedChanged, this, &Countdown::onArmedChanged);
    // Slots armed by the start-up restore before we existed start from now.
    for (int n = 1; n <= StateStore::kSlots; ++n) {
        if (m_services.store.isArmed(n))
            onArmedChanged(n, true);
    }
}

QStringList Countdown::windowsClosedAtEnd()
{
    return { u"frmAlarm"_s, u"frmConf"_s, u"frmMessage"_s, u"frmVersion"_s };
}

void Countdown::onArmedChanged(int n, bool armed)
{
    if (!validSlot(n))
        return;
    // The first tick may come early to land on a whole second: the pace
    // counts from one second before it.
    const QTimer *timer = m_services.store.timer(n);
    const int firstTickMs = timer ? timer->interval() : 1000;
    m_pace[n - 1] = armed ? Pace { m_steady() - (1000 - firstTickMs), 0 } : Pace {};
    if (!armed)
        return;
    // The alert comes only when the time left meets the lead exactly, once a
    // second: say so now when that can never happen.
    const StateStore &store = m_services.store;
    const double left = Slot(m_services.store, n).secondsLeft();
    const QString ownLead = store.slotValue(u"reTime"_s, n);
    const double lead = ownLead.isEmpty() ? numericValue(store.value(u"infotime"_s)) : numericValue(ownLead);
    const char *outlook = "";
    if (lead < 0 || lead != std::floor(lead))
        outlook = ": a lead that is no whole number of seconds never alerts";
    else if (lead >= left)
        outlook = ": that is not ahead, so no alert comes before the end";
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << n << " counting: " << left << " s left, alert at " << lead << " s left"
        << (ownLead.isEmpty() ? " (the general lead)" : " (its own)") << outlook;
}

void Countdown::tick(int n)
{
    if (!validSlot(n) || !m_services.store.isArmed(n))
        return;
    Pace &pace = m_pace[n - 1];
    const qint64 now = m_steady();
    if (pace.armedAtMs < 0) {
        // Armed without our knowing: take this tick as its first.
        pace.armedAtMs = now - 1000;
        pace.ticksRun = 0;
    }
    const qint64 due = (now - pace.armedAtMs) / 1000;
    qint64 toRun = std::max<qint64>(1, due - pace.ticksRun);
    if (toRun > 1)
        qCInfo(lcAlarm).nospace().noquote() << "slot " << n << ": the tick came " << (toRun - 1)
                                            << " s late (stopped or asleep); running the missed ticks now";
    // Only the line of the last tick is ever seen; building the others would
    // make a long catch-up slow for nothing.
    while (toRun > 0 && m_services.store.isArmed(n)) {
        --toRun;
        step(n, toRun == 0);
        // An end disarms the slot and resets its pace; count only while armed.
        if (m_services.store.isArmed(n))
            ++m_pace[n - 1].ticksRun;
    }
    // A tick that came late leaves the timer a fraction of a second out of
    // step for good: the next one goes back onto the second it is due.
    if (m_services.store.isArmed(n)) {
        const Pace &p = m_pace[n - 1];
        const qint64 nextDue = p.armedAtMs + 1000 * (p.ticksRun + 1);
        const qint64 wait = nextDue - m_steady();
        if (wait > 0 && wait < 950)
            m_services.store.setNextTick(n, int(wait));
    }
}

void Countdown::step(int n, bool writeStatusLine)
{
    StateStore &store = m_services.store;

    Memory &memory = m_memory[n - 1];
    memory.elapsed = numericValue(store.slotValue(u"st"_s, n));
    memory.total = numericValue(store.slotValue(u"ed"_s, n));
    memory.elapsed += 1;
    store.setSlotValue(u"st"_s, n, plainNumber(memory.elapsed));

    if (writeStatusLine)
        m_services.statusLine.setText(statusText());

    const QString ownLead = store.slotValue(u"reTime"_s, n);
    const double lead = ownLead.isEmpty() ? numericValue(store.value(u"infotime"_s)) : numericValue(ownLead);

    const double left = memory.total - memory.elapsed;
    if (left == lead)
        raiseAlert(n, lead);
    if (left <= 0)
        endSlot(n);
}

QString Countdown::statusText() const
{
    QString line;
    for (int k = 1; k <= StateStore::kSlots; ++k) {
        if (!m_services.store.isArmed(k))
            continue;
        const Memory &m = m_memory[k - 1];
        line += u"ﾀｲﾏｰ"_s + QString::number(k) + u':' + signedForm(m.total - m.elapsed) + u"秒　☆"_s;
    }
    return line;
}

void Countdown::raiseAlert(int n, double lead)
{
    StateStore &store = m_services.store;
    WindowRegistry &windows = m_services.windows;

    // One alert window at a time: the newer alert replaces the older one.
    if (windows.find(kAlertWindow))
        windows.close(kAlertWindow);

    const QString sound = store.value(u"wavfile"_s);
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << n << " alert, " << lead << " s left: 「" << store.slotValue(u"TimerText"_s, n)
        << "」; sound " << (sound.isEmpty() ? u"(none set)"_s : sound);
    m_services.sound.play(sound);

    const double minutes = std::floor(lead / 60);
    const double seconds = lead - minutes * 60;
    const QString message = u"あと、およそ"_s + signedForm(minutes) + u"分 "_s + signedForm(seconds)
        + u"秒で 「"_s + store.slotValue(u"TimerText"_s, n) + u"」 の入札が終了します。"_s;

    if (auto *target = qobject_cast<AlertTarget *>(windows.ensure(kAlertWindow)))
        target->setMessage(message);
    store.setValue(u"Tnum"_s, QString::number(n));
    windows.open(kAlertWindow);
    if (auto *target = qobject_cast<AlertTarget *>(windows.find(kAlertWindow))) {
        target->setSnoozeOffer(signedForm(std::floor(lead / 2)));
        target->setSecondsLeft(signedForm(lead));
    }
}

void Countdown::endSlot(int n)
{
    if (!validSlot(n))
        return;
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << n << " ended: 「" << m_services.store.slotValue(u"TimerText"_s, n) << "」"
        << ", count " << m_services.store.slotValue(u"st"_s, n) << " of "
        << m_services.store.slotValue(u"ed"_s, n) << " s";
    m_services.windows.closeInOrder(windowsClosedAtEnd());
    m_services.store.disarm(n);
    m_services.statusLine.setText(QString());
    m_services.persistence.save();
}
