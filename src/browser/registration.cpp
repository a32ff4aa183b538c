#include "registration.h"

#include "log.h"
#include "message_box.h"
#include "persistence.h"
#include "service_clock.h"
#include "services.h"
#include "settings_fields.h"
#include "slot.h"
#include "state_store.h"
#include "status_line.h"
#include "time_text.h"

#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

const QString Registration::kNoFreeSlot = u"空いているタイマーがありません。"_s;
const QString Registration::kNotUsable = u"このページではタイマーが使えません。"_s;

namespace {

const QString kAppTitleSuffix = u" - Larkvane"_s;

} // namespace

std::optional<QString> Registration::itemName(const QString &caption)
{
    const QString title
        = caption.endsWith(kAppTitleSuffix) ? caption.chopped(kAppTitleSuffix.size()) : caption;
    QString name = title;
    if (caption.contains(u"Yahoo!"_s)) {
        static const QString twice = u" - Yahoo!オークション - Yahoo!オークション"_s;
        if (title.endsWith(twice))
            name = title.chopped(twice.size());
        else if (title.size() >= 15)
            name = title.chopped(15);
        else
            return std::nullopt;
    }
    if (caption.contains(u"[ビッダーズ]"_s)) {
        if (title.size() < 14)
            return std::nullopt;
        name = caption.indexOf(u'[') == 0 ? title.mid(8, title.size() - 14) : title.chopped(14);
    }
    // A slot without a name counts as free: it would be armed, yet not
    // listed, and not saved.
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

Registration::Registration(Services &services)
    : m_services(services)
{
}

void Registration::registerSlot(int n, const QString &caption, const QString &url, QObject *owner)
{
    StateStore &store = m_services.store;
    const QString start = store.value(u"tmpsttime"_s);
    const QString end = store.value(u"tmpedtime"_s);
    const QString endSeconds = store.value(u"tmpedsec"_s);
    const QString pageTitle = store.value(u"tmptitle"_s);

    if (!soundChosen(owner))
        return;
    if (store.isArmed(n)) {
        qCInfo(lcBrowser) << "slot" << n << "not set: it is counting down already";
        m_services.messages.show(u"このタイマーは現在使用中です！"_s, owner);
        return;
    }

    // Today's pages cut the item's title in the caption; their data has it whole.
    const std::optional<QString> name
        = !pageTitle.isEmpty() && !end.isEmpty() ? pageTitle : itemName(caption);
    if (name) {
        store.setSlotValue(u"TimerText"_s, n, *name);
        store.setSlotValue(u"URL"_s, n, url);
        store.setSlotValue(u"starttime"_s, n, start);
        store.setSlotValue(u"EndTime"_s, n, end);
    }
    QDateTime endAt = parseTimeText(end);
    if (endAt.isValid() && !endSeconds.isEmpty()) {
        // The exact second, as long as it is the same minute the end text names.
        bool ok = false;
        const qint64 secs = endSeconds.toLongLong(&ok);
        const QDateTime exact = QDateTime::fromSecsSinceEpoch(secs, Qt::OffsetFromUTC, kJapanOffsetSeconds);
        if (ok && timeText(exact) == end)
            endAt = exact;
    }
    if (!name || !endAt.isValid()) {
        Slot(store, n).clear();
        m_services.statusLine.setText(QString());
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n
            << " cleared: " << (name ? "the page gave no end time" : "no item name in the caption ")
            << (name ? QString() : caption);
        m_services.persistence.save();
        m_services.messages.show(kNotUsable, owner);
        return;
    }
    arm(n, { *name, url, start, end, endAt });
    m_services.persistence.save();
    m_services.messages.show(*name + u"　のタイマーをスタートしました。"_s, owner);
}

void Registration::arm(int n, const Registrable &item)
{
    StateStore &store = m_services.store;
    store.setSlotValue(u"TimerText"_s, n, item.name);
    store.setSlotValue(u"URL"_s, n, item.url);
    store.setSlotValue(u"starttime"_s, n, item.start);
    store.setSlotValue(u"EndTime"_s, n, item.end);
    // Whole seconds from the last whole second, and the first tick on the
    // next one: the count then meets the true time left to the millisecond.
    const QDateTime now = m_services.clock.now(QUrl(item.url).host());
    qCInfo(lcBrowser).nospace().noquote()
        << "slot " << n << " set from " << item.url << ": 「" << item.name << "」, ends " << item.end
        << (item.endAt.time().second() ? " (to the second)" : "");
    Slot(store, n).armUntil(item.endAt, now);
}

QList<int> Registration::freeSlots() const
{
    QList<int> free;
    for (int n = 1; n <= StateStore::kSlots; ++n) {
        if (!m_services.store.isArmed(n))
            free.append(n);
    }
    return free;
}

bool Registration::soundChosen(QObject *owner) const
{
    if (!m_services.store.value(Setting::kSoundFile).isEmpty())
        return true;
    qCInfo(lcBrowser) << "nothing registered: no sound file is chosen";
    m_services.messages.show(u"サウンドが指定されていません。環境設定を確認してください。"_s, owner);
    return false;
}

bool Registration::registerItem(const Registrable &item, QObject *owner)
{
    if (!soundChosen(owner))
        return false;
    const QList<int> free = freeSlots();
    if (free.isEmpty()) {
        qCInfo(lcBrowser) << "nothing registered: every slot is counting down";
        m_services.messages.show(kNoFreeSlot, owner);
        return false;
    }
    if (item.name.isEmpty() || !item.endAt.isValid()) {
        m_services.messages.show(kNotUsable, owner);
        return false;
    }
    arm(free.first(), item);
    m_services.persistence.save();
    m_services.messages.show(item.name + u"　のタイマーをスタートしました。"_s, owner);
    return true;
}

int Registration::registerItems(QList<Registrable> items, QObject *owner)
{
    if (!soundChosen(owner))
        return 0;
    std::stable_sort(items.begin(), items.end(),
        [](const Registrable &a, const Registrable &b) { return a.endAt < b.endAt; });
    const QList<int> free = freeSlots();
    const qsizetype started = std::min(free.size(), items.size());
    for (qsizetype i = 0; i < started; ++i)
        arm(free[i], items[i]);
    if (started > 0)
        m_services.persistence.save();
    QString text = QString::number(started) + u" 件のタイマーをスタートしました。"_s;
    if (items.size() > started) {
        text += u"\n空いているタイマーが足りないため、"_s + QString::number(items.size() - started)
            + u" 件は登録できませんでした。"_s;
    }
    qCInfo(lcBrowser).noquote() << started << "of" << items.size() << "items registered at once";
    m_services.messages.show(text, owner);
    return int(started);
}
