#include "sleep_guard.h"

#include "auction_timers.h"
#include "desktop_notifier.h"
#include "log.h"
#include "settings_fields.h"
#include "sleep_inhibitor.h"
#include "state_store.h"

#include <cmath>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

// A wait on a timer is an int of milliseconds.
constexpr qint64 kLongestWaitMs = 24LL * 3600 * 1000;
// An end that the countdown learns of later than this was not seen live.
constexpr qint64 kLateEndMs = 2000;

} // namespace

qint64 SleepGuard::awakeClockMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

SleepGuard::SleepGuard(const AuctionTimers &timers, const StateStore &settings, SleepInhibitor &inhibitor,
    DesktopNotifier &notifier, MsClock boot, MsClock awake, QObject *parent)
    : QObject(parent)
    , m_timers(timers)
    , m_inhibitor(inhibitor)
    , m_notifier(notifier)
    , m_boot(std::move(boot))
    , m_awake(std::move(awake))
{
    m_ends.fill({});
    m_next.setSingleShot(true);
    m_next.setTimerType(Qt::PreciseTimer);
    connect(&m_next, &QTimer::timeout, this, &SleepGuard::review);
    // A new item, a moved end, a new lead: that timer's end is looked at anew.
    connect(&m_timers, &AuctionTimers::changed, this, [this](int n) {
        m_ends[n - 1] = {};
        review();
    });
    connect(&m_timers, &AuctionTimers::ended, this, &SleepGuard::onEnded);
    connect(&settings, &StateStore::valueChanged, this, [this](const QString &name) {
        if (name == Setting::kLeadSeconds)
            review();
    });
    review();
}

qint64 SleepGuard::sleptMs() const
{
    return m_boot() - m_awake();
}

void SleepGuard::onEnded(int n)
{
    const End end = m_ends[n - 1];
    // The end passed in a sleep when the machine slept since it was last
    // seen ahead and the timer learns of it only now.
    if (end.atMs >= 0 && m_boot() - end.atMs > kLateEndMs && sleptMs() - end.sleptMs > kLateEndMs) {
        qCInfo(lcAlarm).nospace() << "slot " << n << ": its end passed while the machine slept";
        m_notifier.showNotice(
            u"スリープ中に「"_s + m_timers.timer(n).item().displayName() + u"」が終了時刻を過ぎました。"_s,
            { m_timers.timer(n).item().title, m_timers.timer(n).item().url });
    }
    review();
}

void SleepGuard::review()
{
    const qint64 now = m_boot();
    const qint64 slept = sleptMs();
    bool near = false;
    qint64 nextLookMs = kLongestWaitMs;
    // A moment `inMs` ahead: near while under ten minutes away; the next
    // look is when it comes near, or just after it has passed.
    const auto consider = [&](qint64 inMs) {
        if (inMs < 0)
            return;
        if (inMs < kNearSeconds * 1000LL) {
            near = true;
            if (inMs > 0)
                nextLookMs = std::min(nextLookMs, inMs + 1000);
        } else {
            nextLookMs = std::min(nextLookMs, inMs - kNearSeconds * 1000LL + 1000);
        }
    };
    for (int n = 1; n <= kSlotCount; ++n) {
        End &end = m_ends[n - 1];
        const AuctionTimer &t = m_timers.timer(n);
        if (!t.isArmed()) {
            end = {};
            continue;
        }
        // The end on the boot clock, which the count keeps pace with through
        // a sleep, as it stood when it was armed or moved.
        if (end.atMs < 0)
            end = { t.endDueMs(), slept };
        if (now <= end.atMs)
            end.sleptMs = slept;
        const double lead = t.lead();
        // A slot run out and waiting for word of its end is at its end now.
        const qint64 endInMs = std::max<qint64>(end.atMs - now, 0);
        consider(endInMs);
        if (lead >= 0 && lead == std::floor(lead) && lead * 1000 < endInMs)
            consider(endInMs - qint64(lead * 1000));
    }

    if (near && !m_holding) {
        qCInfo(lcAlarm) << "an alert or end is less than 10 minutes away: keeping the machine awake";
        m_inhibitor.hold(u"オークションの終了が近づいています"_s);
    } else if (!near && m_holding) {
        qCInfo(lcAlarm) << "no alert or end within 10 minutes: the machine may sleep again";
        m_inhibitor.release();
    }
    m_holding = near;
    m_next.start(int(std::clamp<qint64>(nextLookMs, 1000, kLongestWaitMs)));
}
