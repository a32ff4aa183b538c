#include "auction_timers.h"

#include "alert_target.h"
#include "log.h"
#include "numeric.h"
#include "page_recognizer.h"
#include "service_clock.h"
#include "service_time.h"
#include "settings_fields.h"
#include "sound_player.h"
#include "state_store.h"
#include "status_line.h"
#include "time_text.h"
#include "window_registry.h"

#include <QUrl>

#include <algorithm>
#include <cmath>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

const QString kAlertWindow = u"frmMessage"_s;

bool isWholeLead(double lead)
{
    return lead >= 0 && lead == std::floor(lead);
}

// The end a stored text names, read as a hand-edited file may hold it.
QDateTime storedEnd(const QString &text)
{
    const TimeTextParts parts = readTimeText(text);
    return parts.isValid() ? japanDateTime(parts.date, parts.time) : QDateTime();
}

constexpr qsizetype kStoredTitleChars = 255;

} // namespace

qint64 AuctionTimers::bootClockMs()
{
    timespec ts {};
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

AuctionTimers::AuctionTimers(StateStore &settings, Persistence &persistence, ServiceClock &clock,
    SoundPlayer &sound, WindowRegistry &windows, StatusLine &statusLine, PageFetcher &fetcher,
    SteadyClock steady, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_persistence(persistence)
    , m_clock(clock)
    , m_sound(sound)
    , m_windows(windows)
    , m_statusLine(statusLine)
    , m_steady(std::move(steady))
    , m_follower(clock, fetcher, m_steady,
          [this](int n, quint64 generation, const QString &url, const FetchResult &result) {
              takeReading(n, generation, url, result);
          })
{
    for (int n = 1; n <= kSlotCount; ++n)
        m_timers[n - 1] = std::make_unique<AuctionTimer>(n, m_settings, m_steady);
    m_wake.setSingleShot(true);
    // A wake-up a little late lags the count by nothing: the steady clock
    // says which seconds are due. Precise keeps the alert on its second.
    m_wake.setTimerType(Qt::PreciseTimer);
    connect(&m_wake, &QTimer::timeout, this, &AuctionTimers::runDue);
    // A new general lead moves every alert that has none of its own; new
    // reminders move the moments of all.
    connect(&m_settings, &StateStore::valueChanged, this, [this](const QString &name, const QString &text) {
        if (name == Setting::kReminders) {
            m_reminders = reminderSeconds(text);
            m_follower.setReminders(m_reminders);
        } else if (name != Setting::kLeadSeconds) {
            return;
        }
        for (auto &t : m_timers)
            updateAlerted(*t);
        plan();
    });
    m_reminders = reminderSeconds(m_settings.value(Setting::kReminders));
    m_follower.setReminders(m_reminders);
    m_persistence.setSlotSource(this);
}

AuctionTimers::~AuctionTimers()
{
    m_persistence.setSlotSource(nullptr);
}

const AuctionTimer &AuctionTimers::timer(int n) const
{
    Q_ASSERT(n >= 1 && n <= kSlotCount);
    return *m_timers[std::clamp(n, 1, kSlotCount) - 1];
}

AuctionTimer &AuctionTimers::at(int n)
{
    return *m_timers[std::clamp(n, 1, kSlotCount) - 1];
}

SlotRecord AuctionTimers::slotRecord(int n) const
{
    return timer(n).record();
}

QStringList AuctionTimers::windowsClosedAtEnd()
{
    // Not the settings dialog: the user's edits there have nothing to do
    // with an auction that ends meanwhile.
    return { u"frmAlarm"_s, u"frmMessage"_s, u"frmVersion"_s };
}

QList<qint64> AuctionTimers::reminderSeconds(const QString &setting)
{
    QList<qint64> seconds;
    for (const QString &part : setting.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 minutes = part.trimmed().toLongLong(&ok);
        // At most a year before: anything further is no reminder of an end.
        if (ok && minutes > 0 && minutes <= 366 * 24 * 60 && !seconds.contains(minutes * 60))
            seconds << minutes * 60;
    }
    std::sort(seconds.begin(), seconds.end(), std::greater<>());
    return seconds;
}

QString AuctionTimers::reminderText(qint64 seconds)
{
    if (seconds % 86400 == 0)
        return QString::number(seconds / 86400) + u"日"_s;
    if (seconds % 3600 == 0)
        return QString::number(seconds / 3600) + u"時間"_s;
    return QString::number(seconds / 60) + u"分"_s;
}

qint64 AuctionTimers::secondsUntil(const QString &url, const QDateTime &end) const
{
    return secondsToCount(m_clock.now(QUrl(url).host()), end);
}

QList<int> AuctionTimers::unarmed() const
{
    QList<int> free;
    for (int n = 1; n <= kSlotCount; ++n) {
        if (!timer(n).isArmed())
            free.append(n);
    }
    return free;
}

void AuctionTimers::restore(const Persistence::Slots &slots)
{
    // Japan time, whatever this machine's zone; whole seconds, as counts go.
    const QDateTime now = m_clock.now().toOffsetFromUtc(kJapanOffsetSeconds);
    if (!now.isValid())
        qCWarning(lcState) << "the clock gives no valid time: no slot is re-armed";
    for (int n = 1; n <= kSlotCount; ++n) {
        const SlotRecord &r = slots[n - 1];
        AuctionTimer &t = at(n);
        if (r.isFree()) {
            qCDebug(lcState).nospace().noquote() << "restored slot " << n << ": free";
            continue;
        }
        const auto amount = [](const QString &text) {
            bool ok = false;
            const qint64 v = text.toLongLong(&ok);
            return ok && v >= 0 ? v : qint64(-1);
        };
        t.m_item = { r.title, r.url, r.start, amount(r.price), amount(r.bids) };
        t.m_endText = r.end;
        t.m_end = storedEnd(r.end);
        t.m_ownLead = r.ownLead;
        t.m_life = AuctionTimer::Life::Ended;
        t.m_left = 0;
        ++t.m_generation;
        const auto report = [&](const char *outcome) {
            qCInfo(lcState).nospace().noquote()
                << "restored slot " << n << ": 「" << r.title << "」, ends " << r.end << outcome;
        };
        // A hand-edited end that is no date is kept like one long past: the
        // slot keeps its texts and waits to be cleared.
        if (!t.m_end.isValid() || !now.isValid()) {
            report(", which is no date: kept, not armed");
        } else if (t.m_end.date() < now.date()) {
            report(", an earlier day: kept until cleared");
        } else if (const qint64 left = secondsToCount(now, t.m_end); left > 0) {
            report(", still ahead: re-armed");
            arm(t, left, 1000 - now.time().msec());
        } else {
            t.m_left = left;
            report(", already past: kept until cleared");
        }
        Q_EMIT changed(n);
    }
    plan();
}

void AuctionTimers::assign(int n, const AuctionItem &item, const QDateTime &end)
{
    AuctionTimer &t = at(n);
    const QDateTime now = m_clock.now(QUrl(item.url).host());
    t.m_item = item;
    // The file keeps 255 bytes of it, never fewer characters than this: a
    // page's megabyte of title would only weigh on every window showing it.
    t.m_item.title.truncate(kStoredTitleChars);
    t.m_end = end;
    t.m_endText = timeText(end);
    t.m_ownLead.clear();
    ++t.m_generation;
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << n << " set from " << item.url << ": 「" << item.title << "」, ends " << t.m_endText
        << (end.time().second() ? " (to the second)" : "");
    arm(t, secondsToCount(now, end), 1000 - now.time().msec());
    Q_EMIT changed(n);
}

void AuctionTimers::arm(AuctionTimer &t, qint64 left, int firstTickMs)
{
    t.m_life = AuctionTimer::Life::Armed;
    t.m_left = left;
    t.m_leftAfterStep = left;
    t.m_alerted = false;
    // The first tick comes on the next whole second of the clock the count
    // was taken on: the pace counts from one second before it.
    t.m_armedAtMs = m_steady() - (1000 - std::clamp(firstTickMs, 1, 1000));
    t.m_ticksRun = 0;
    t.m_reminded.clear();
    m_follower.armed(t);

    // The alert comes only when the count passes its lead: say so now when
    // that can never happen.
    const double lead = t.lead();
    const char *outlook = "";
    if (!isWholeLead(lead))
        outlook = ": a lead that is no whole number of seconds never alerts";
    else if (lead >= double(left))
        outlook = ": that is not ahead, so no alert comes before the end";
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << t.number() << " counting: " << left << " s left, alert at " << lead << " s left"
        << (t.m_ownLead.isEmpty() ? " (the general lead)" : " (its own)") << outlook;
    plan();
}

void AuctionTimers::clear(int n)
{
    AuctionTimer &t = at(n);
    if (!t.isFree())
        qCInfo(lcAlarm).nospace().noquote() << "slot " << n << " cleared: 「" << t.m_item.title << "」";
    t.m_life = AuctionTimer::Life::Free;
    t.m_item = {};
    t.m_endText.clear();
    t.m_end = {};
    t.m_ownLead.clear();
    t.m_alerted = false;
    t.m_armedAtMs = -1;
    t.m_ticksRun = 0;
    ++t.m_generation;
    m_follower.forget(n);
    Q_EMIT changed(n);
    plan();
}

bool AuctionTimers::setOwnLead(int n, quint64 generation, const QString &typed)
{
    AuctionTimer &t = at(n);
    if (t.isFree() || t.generation() != generation)
        return false;
    t.m_ownLead = typed;
    qCInfo(lcAlarm).nospace().noquote() << "slot " << n << " snoozed: next alert at " << typed << " s left";
    updateAlerted(t);
    Q_EMIT changed(n);
    plan();
    return true;
}

void AuctionTimers::updateAlerted(AuctionTimer &t)
{
    if (t.m_alerted && double(t.m_left) > t.lead())
        t.m_alerted = false;
}

void AuctionTimers::setWatched(std::function<bool()> watched)
{
    m_watched = std::move(watched);
    plan();
}

void AuctionTimers::paceChanged()
{
    // A window that shows the count must not show one slept through.
    if (watched())
        runDue();
    else
        plan();
}

void AuctionTimers::runDue()
{
    for (auto &t : m_timers)
        step(*t);
    plan();
}

void AuctionTimers::step(AuctionTimer &t)
{
    if (!t.isArmed())
        return;
    const qint64 due = t.dueTicks();
    if (due <= 0)
        return;
    const int n = t.number();
    if (due > 1 && watched())
        qCInfo(lcAlarm).nospace().noquote() << "slot " << n << ": the tick came " << (due - 1)
                                            << " s late (stopped or asleep); running the missed ticks now";

    // 1. The count catches up. A timer that waits at 0 for its page stays
    // there.
    const qint64 before = t.m_leftAfterStep;
    t.m_ticksRun += due;
    t.m_left = t.waitsAtEnd() ? std::max(t.m_left - due, std::min<qint64>(t.m_left, 0)) : t.m_left - due;
    t.m_leftAfterStep = t.m_left;
    t.m_shownLeft = t.m_left;
    m_statusLine.setText(statusText());

    // The alert falls in this step when the count passed its lead since the
    // last one: on its second, or at once for a count that a read set below
    // it, or after a stop, with the time truly left. One whose end passed
    // meanwhile has nothing left to warn of.
    const double lead = t.lead();
    const bool alerting = isWholeLead(lead) && double(t.m_left) <= lead && lead < double(before)
        && (t.m_left > 0 || double(t.m_left) == lead);

    // 2. The reads that are due.
    const bool givenUp = m_follower.step(t, alerting);
    // The reminders it passed, before the lead: word only, no sound.
    remind(t, before);
    // 3. The alert.
    if (alerting)
        raiseAlert(t);
    // 4. The end.
    if (t.isArmed() && t.m_left <= 0 && (!t.waitsAtEnd() || givenUp))
        end(t);
}

void AuctionTimers::raiseAlert(AuctionTimer &t)
{
    const qint64 left = t.m_left;
    // One alert window at a time: the newer alert replaces the older one.
    if (QObject *older = m_windows.find(kAlertWindow)) {
        if (auto *target = qobject_cast<AlertTarget *>(older); target && m_alertSlot != t.number())
            target->keepNotification();
        m_windows.close(kAlertWindow);
    }
    m_alertSlot = t.number();

    const QString sound = m_settings.value(Setting::kSoundFile);
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << t.number() << " alert, " << left << " s left: 「" << t.m_item.title << "」; sound "
        << (sound.isEmpty() ? u"(none set)"_s : sound);
    // Alerts that fall together are one sound: ten at once would only be
    // cut off by one another.
    const qint64 now = m_steady();
    if (m_soundedAtMs < 0 || now - m_soundedAtMs >= kOneSoundMs) {
        m_sound.play(sound);
        m_soundedAtMs = now;
    }

    const double minutes = std::floor(double(left) / 60);
    const double seconds = double(left) - minutes * 60;
    const QString message = u"あと、およそ"_s + signedForm(minutes) + u"分 "_s + signedForm(seconds)
        + u"秒で 「"_s + t.m_item.displayName() + u"」 の入札が終了します。"_s;

    if (auto *target = qobject_cast<AlertTarget *>(m_windows.ensure(kAlertWindow))) {
        target->setMessage(message);
        target->setTimer(t);
    }
    m_windows.open(kAlertWindow);
    if (auto *target = qobject_cast<AlertTarget *>(m_windows.find(kAlertWindow)))
        target->setSnoozeOffer(signedForm(std::floor(double(left) / 2)));
    t.m_alerted = true;
    Q_EMIT alerted(t.number());
    Q_EMIT changed(t.number());
}

void AuctionTimers::remind(AuctionTimer &t, qint64 before)
{
    for (const qint64 r : std::as_const(m_reminders)) {
        if (!(double(r) > t.lead()) || t.m_reminded.contains(r) || !(before > r && t.m_left <= r))
            continue;
        t.m_reminded << r;
        // Slept through by more than a minute, it would tell a time long gone.
        if (t.m_left < r - 60)
            continue;
        const QString price = priceLine(t.m_item);
        const QString text = u"「"_s + t.m_item.displayName() + u"」の終了まであと "_s + reminderText(r)
            + u"です"_s + (price.isEmpty() ? QString() : u"（"_s + price + u"）"_s) + u"。"_s;
        qCInfo(lcAlarm).nospace().noquote()
            << "slot " << t.number() << " reminder, " << t.m_left << " s left: " << text;
        Q_EMIT notice(text, t.number());
    }
}

void AuctionTimers::takePrices(AuctionTimer &t, const PageReading &page, bool ended)
{
    AuctionItem &item = t.m_item;
    const qint64 price = item.price;
    const qint64 bids = item.bids;
    // A page that stops giving them keeps the last ones known.
    if (page.price >= 0)
        item.price = page.price;
    if (page.bids >= 0)
        item.bids = page.bids;
    if (item.price != price || item.bids != bids)
        qCInfo(lcAlarm).nospace() << "slot " << t.number() << ": " << item.price << " yen, " << item.bids
                                  << " bids";
    const QString title = u"「"_s + item.displayName() + u"」"_s;
    if (ended) {
        if (item.bids == 0)
            Q_EMIT notice(title + u"は入札なしで終了しました。"_s, t.number());
        else if (item.bids > 0 && item.price >= 0)
            Q_EMIT notice(title + u"は "_s + yenText(item.price) + u"で終了しました（入札 "_s
                    + bidsText(item.bids) + u"）。"_s,
                t.number());
        return;
    }
    // A new bid raises the price or the count; the first word of either is
    // no news.
    if ((price >= 0 && item.price > price) || (bids >= 0 && item.bids > bids))
        Q_EMIT notice(title + u"に入札がありました："_s + yenText(item.price) + u"（入札 "_s
                + bidsText(std::max<qint64>(item.bids, 0)) + u"）"_s,
            t.number());
}

void AuctionTimers::end(AuctionTimer &t)
{
    const int n = t.number();
    qCInfo(lcAlarm).nospace().noquote()
        << "slot " << n << " ended: 「" << t.m_item.title << "」, " << t.m_left << " s left on its count";
    m_windows.closeInOrder(windowsClosedAtEnd());
    t.m_life = AuctionTimer::Life::Ended;
    m_follower.forget(n);
    m_statusLine.setText(QString());
    m_persistence.save();
    // Whoever asks how it ended hears it before it is looked at anew.
    Q_EMIT ended(n);
    Q_EMIT changed(n);
    plan();
}

void AuctionTimers::takeReading(int n, quint64 generation, const QString &url, const FetchResult &result)
{
    AuctionTimer &t = at(n);
    // The count catches up first: a count that sleeps lags between its steps.
    step(t);
    if (!result.ok || !t.isArmed() || t.generation() != generation) {
        qCInfo(lcAlarm).nospace().noquote()
            << "slot " << n << ": page not used"
            << (result.ok ? ", the slot changed meanwhile" : ", the fetch failed");
        plan();
        return;
    }
    const QUrl pageUrl(url);
    m_reader.read(pageUrl, result, serviceToday(m_clock, pageUrl),
        [this, n, generation, pageUrl](const FetchResult &read, const PageReading &page) {
            takePage(n, generation, pageUrl, read, page);
        });
}

void AuctionTimers::takePage(
    int n, quint64 generation, const QUrl &pageUrl, const FetchResult &result, const PageReading &page)
{
    AuctionTimer &t = at(n);
    if (m_reader.onWorker()) {
        // Read meanwhile on the reader's thread: the count went on.
        step(t);
        if (!t.isArmed() || t.generation() != generation) {
            qCInfo(lcAlarm).nospace() << "slot " << n << ": page not used, the slot changed meanwhile";
            plan();
            return;
        }
    }
    learnServiceTime(m_clock, pageUrl, result, page);
    bool save = false;
    // An item registered from a list, which gives no start, takes its page's.
    if (t.m_item.start == u"N/A"_s && !page.start.isEmpty() && page.start != u"N/A"_s) {
        t.m_item.start = page.start;
        save = true;
    }

    using Kind = ExtensionFollower::Verdict::Kind;
    const ExtensionFollower::Verdict v = ExtensionFollower::weigh(t, page, m_clock.now(pageUrl.host()));
    const SlotRecord before = t.record();
    takePrices(t, page, v.kind == Kind::Closed || v.kind == Kind::Passed);
    save = save || t.record() != before;
    switch (v.kind) {
    case Kind::Closed:
        t.m_end = v.end;
        t.m_endText = v.endText;
        t.m_left = 0;
        end(t);
        return;
    case Kind::Passed:
        end(t);
        return;
    case Kind::Extended: {
        t.m_left = v.left;
        t.m_end = v.end;
        t.m_endText = v.endText;
        m_follower.countMoved(t);
        save = true;
        const QString text = u"終了時間が延長されました（"_s + v.endText + u"）"_s;
        m_statusLine.setText(text);
        Q_EMIT notice(text, n);
        break;
    }
    case Kind::CountsOn:
        t.m_left = v.left;
        m_follower.countMoved(t);
        break;
    case Kind::SetRight:
        t.m_left = v.left;
        t.m_end = v.end;
        break;
    case Kind::Unchanged:
        break;
    }
    // A count moved up has its lead ahead again, whatever second it was last
    // stepped from; one moved down keeps that second, so that a lead it was
    // moved past alerts at once.
    t.m_leftAfterStep = std::max(t.m_leftAfterStep, t.m_left);
    updateAlerted(t);
    if (save)
        m_persistence.save();
    if (save || v.kind != Kind::Unchanged)
        Q_EMIT changed(n);
    plan();
}

qint64 AuctionTimers::secondsToNextMoment(const AuctionTimer &t) const
{
    const qint64 left = t.m_left;
    const double lead = t.lead();
    // At its end, or a count set right below its lead: the next second.
    if (left <= 1 || (isWholeLead(lead) && double(left) < lead && lead < double(t.m_leftAfterStep)))
        return 1;
    qint64 steps = left;
    if (isWholeLead(lead) && lead < double(left))
        steps = std::min(steps, left - qint64(lead));
    for (const qint64 r : m_reminders) {
        if (!t.m_reminded.contains(r) && lead < double(r) && r < left)
            steps = std::min(steps, left - r);
    }
    if (const qint64 read = m_follower.secondsToNextRead(t); read > 0)
        steps = std::min(steps, read);
    return std::clamp<qint64>(steps, 1, kLongestSleepSeconds);
}

qint64 AuctionTimers::nextDueMs(const AuctionTimer &t) const
{
    if (!t.isArmed() || t.m_armedAtMs < 0)
        return -1;
    return t.m_armedAtMs + 1000 * (t.m_ticksRun + (watched() ? 1 : secondsToNextMoment(t)));
}

qint64 AuctionTimers::nextWakeMs() const
{
    qint64 next = -1;
    for (const auto &t : m_timers) {
        const qint64 due = nextDueMs(*t);
        if (due >= 0 && (next < 0 || due < next))
            next = due;
    }
    return next;
}

void AuctionTimers::plan()
{
    const qint64 next = nextWakeMs();
    if (next < 0) {
        m_wake.stop();
        return;
    }
    const qint64 wait = next - m_steady();
    m_wake.start(int(std::clamp<qint64>(wait, 0, qint64(kLongestSleepSeconds) * 1000)));
}

QString AuctionTimers::statusText() const
{
    QString line;
    for (const auto &t : m_timers) {
        if (t->isArmed())
            line += u"ﾀｲﾏｰ"_s + QString::number(t->number()) + u':' + signedForm(double(t->m_shownLeft))
                + u"秒　☆"_s;
    }
    return line;
}
