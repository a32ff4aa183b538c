#include "countdown.h"

#include "alert_target.h"
#include "log.h"
#include "numeric.h"
#include "persistence.h"
#include "services.h"
#include "settings_fields.h"
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
    m_lastLeft.fill(std::nan(""));
    m_nextDue.fill(-1);
    connect(&m_services.store, &StateStore::armedChanged, this, &Countdown::onArmedChanged);
    connect(&m_services.store, &StateStore::valueChanged, this, &Countdown::onValueChanged);
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
    m_lastLeft[n - 1] = std::nan("");
    m_nextDue[n - 1] = armed ? m_pace[n - 1].armedAtMs + 1000 : -1;
    if (!armed)
        return;
    // The alert comes only when the time left meets the lead exactly, once a
    // second: say so now when that can never happen.
    const Slot slot(m_services.store, n);
    const double left = slot.secondsLeft();
    const double lead = slot.lead();
    const char *outlook = "";
    if (lead < 0 || lead != std::floor(lead))
        outlook = ": a lead that is no whole number of seconds never alerts";
    else if (lead >= left)
        outlook = ": that is not ahead, so no alert comes before the end";
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << n << " counting: " << left << " s left, alert at " << lead << " s left"
        << (m_services.store.slotValue(u"reTime"_s, n).isEmpty() ? " (the general lead)" : " (its own)")
        << outlook;
}

void Countdown::tick(int n)
{
    run(n, 1);
}

void Countdown::catchUp(int n)
{
    run(n, 0);
}

void Countdown::run(int n, qint64 atLeast)
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
    qint64 toRun = std::max<qint64>(atLeast, due - pace.ticksRun);
    if (toRun > 1 && (!m_watched || m_watched()))
        qCInfo(lcAlarm).nospace().noquote() << "slot " << n << ": the tick came " << (toRun - 1)
                                            << " s late (stopped or asleep); running the missed ticks now";
    // Only the line of the last tick is ever seen; building the others would
    // make a long catch-up slow for nothing. An alert that fell among the
    // missed ticks is raised on the last one, with the time truly left.
    bool alertPending = false;
    while (toRun > 0 && m_services.store.isArmed(n)) {
        --toRun;
        alertPending = step(n, toRun == 0, alertPending);
        // An end disarms the slot and resets its pace; count only while armed.
        if (m_services.store.isArmed(n))
            ++m_pace[n - 1].ticksRun;
    }
    plan(n);
}

qint64 Countdown::secondsToNextMoment(int n) const
{
    const StateStore &store = m_services.store;
    const double left = numericValue(store.slotValue(u"ed"_s, n)) - numericValue(store.slotValue(u"st"_s, n));
    const double lead = Slot(m_services.store, n).lead();
    // Waiting at the end, or a count set right that stepped over the lead:
    // the next second matters.
    if (!(left > 1) || (m_lastLeft[n - 1] > lead && left < lead && lead == std::floor(lead)))
        return 1;
    double steps = std::ceil(left);
    if (lead < left && left - lead == std::floor(left - lead))
        steps = std::min(steps, left - lead);
    if (m_wakeWanted) {
        const double wanted = m_wakeWanted(n, left);
        if (wanted >= 0 && wanted < left)
            steps = std::min(steps, std::max(1.0, std::floor(left - wanted)));
    }
    return qint64(std::clamp(steps, 1.0, double(kLongestSleepSeconds)));
}

void Countdown::plan(int n)
{
    if (!validSlot(n) || !m_services.store.isArmed(n)) {
        if (validSlot(n))
            m_nextDue[n - 1] = -1;
        return;
    }
    // On the second the count is due, as the first tick was put on a whole
    // second: a late tick does not leave the timer out of step for good.
    const Pace &p = m_pace[n - 1];
    if (p.armedAtMs < 0)
        return;
    const bool watched = !m_watched || m_watched();
    const qint64 steps = watched ? 1 : secondsToNextMoment(n);
    m_nextDue[n - 1] = p.armedAtMs + 1000 * (p.ticksRun + steps);
    const qint64 wait = m_nextDue[n - 1] - m_steady();
    const QTimer *timer = m_services.store.timer(n);
    if (watched && wait >= 950 && timer && timer->interval() == 1000)
        return; // the timer's own second is as good
    m_services.store.setNextTick(n, int(std::clamp<qint64>(wait, 1, qint64(kLongestSleepSeconds) * 1000)));
}

qint64 Countdown::nextTickDueMs(int n) const
{
    return validSlot(n) && m_services.store.isArmed(n) ? m_nextDue[n - 1] : -1;
}

void Countdown::onValueChanged(const QString &name)
{
    // A snooze, a new lead or a count set right moves a sleeping slot's next
    // moment; the slot's own ticks write only its count.
    if (!m_watched || m_watched())
        return;
    if (name == Setting::kLeadSeconds) {
        for (int n = 1; n <= StateStore::kSlots; ++n)
            plan(n);
        return;
    }
    for (const QString &family : { u"reTime"_s, u"ed"_s }) {
        if (!name.startsWith(family))
            continue;
        bool ok = false;
        const int n = name.mid(family.size()).toInt(&ok);
        if (ok && validSlot(n) && name == StateStore::slotField(family, n))
            plan(n);
    }
}

void Countdown::paceChanged()
{
    const bool watched = !m_watched || m_watched();
    for (int n = 1; n <= StateStore::kSlots; ++n) {
        // A window that shows the count must not show one slept through.
        if (watched)
            catchUp(n);
        else
            plan(n);
    }
}

bool Countdown::step(int n, bool last, bool alertPending)
{
    StateStore &store = m_services.store;

    Memory &memory = m_memory[n - 1];
    memory.elapsed = numericValue(store.slotValue(u"st"_s, n));
    memory.total = numericValue(store.slotValue(u"ed"_s, n));
    if (memory.total - memory.elapsed <= 0 && m_endHold && m_endHold(n)) {
        // Run out and waiting for word of the end: the count stays at 0.
        if (last)
            m_services.statusLine.setText(statusText());
        return false;
    }
    memory.elapsed += 1;
    store.setSlotValue(u"st"_s, n, plainNumber(memory.elapsed));

    if (last)
        m_services.statusLine.setText(statusText());

    const double lead = Slot(store, n).lead();

    const double left = memory.total - memory.elapsed;
    // A count set right by the service's clock may step over the lead; the
    // alert then comes at once, with what is left.
    const double before = m_lastLeft[n - 1];
    const bool jumpedOver = lead == std::floor(lead) && before > lead && left < lead && left > 0;
    m_lastLeft[n - 1] = left;
    const bool alertHere = left == lead || jumpedOver;
    // An alert among missed ticks whose end has passed meanwhile has nothing
    // left to warn of.
    if (last && (alertHere || (alertPending && left > 0)))
        raiseAlert(n, left);
    if (left <= 0 && !(m_endHold && m_endHold(n)))
        endSlot(n);
    return !last && (alertPending || alertHere);
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

void Countdown::raiseAlert(int n, double secondsLeft)
{
    StateStore &store = m_services.store;
    WindowRegistry &windows = m_services.windows;

    // One alert window at a time: the newer alert replaces the older one.
    if (windows.find(kAlertWindow))
        windows.close(kAlertWindow);

    const QString sound = store.value(Setting::kSoundFile);
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << n << " alert, " << secondsLeft << " s left: 「" << store.slotValue(u"TimerText"_s, n)
        << "」; sound " << (sound.isEmpty() ? u"(none set)"_s : sound);
    m_services.sound.play(sound);

    const double minutes = std::floor(secondsLeft / 60);
    const double seconds = secondsLeft - minutes * 60;
    const QString message = u"あと、およそ"_s + signedForm(minutes) + u"分 "_s + signedForm(seconds)
        + u"秒で 「"_s + store.slotValue(u"TimerText"_s, n) + u"」 の入札が終了します。"_s;

    if (auto *target = qobject_cast<AlertTarget *>(windows.ensure(kAlertWindow)))
        target->setMessage(message);
    store.setValue(u"Tnum"_s, QString::number(n));
    windows.open(kAlertWindow);
    if (auto *target = qobject_cast<AlertTarget *>(windows.find(kAlertWindow))) {
        target->setSnoozeOffer(signedForm(std::floor(secondsLeft / 2)));
        target->setSecondsLeft(signedForm(secondsLeft));
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
