#include "registration.h"

#include "auction_timers.h"
#include "log.h"
#include "message_box.h"
#include "page_recognizer.h"
#include "persistence.h"
#include "services.h"
#include "settings_fields.h"
#include "state_store.h"
#include "status_line.h"

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

void Registration::registerSlot(
    int n, const QString &caption, const QString &url, const PageReading *page, QObject *owner)
{
    if (!soundChosen(owner))
        return;
    AuctionTimers &timers = m_services.timers;
    if (timers.timer(n).isArmed()) {
        qCInfo(lcBrowser) << "slot" << n << "not set: it is counting down already";
        m_services.messages.show(u"このタイマーは現在使用中です！"_s, owner);
        return;
    }

    // Today's pages cut the item's title in the caption; their data has it whole.
    const std::optional<QString> name
        = page && !page->title.isEmpty() && !page->end.isEmpty() ? page->title : itemName(caption);
    if (!name || !page || page->end.isEmpty() || !page->endAt.isValid()) {
        timers.clear(n);
        m_services.statusLine.setText(QString());
        qCInfo(lcBrowser).nospace().noquote()
            << "slot " << n
            << " cleared: " << (name ? "the page gave no end time" : "no item name in the caption ")
            << (name ? QString() : caption);
        m_services.persistence.save();
        m_services.messages.show(kNotUsable, owner);
        return;
    }
    arm(n, { *name, url, page->start, page->end, page->endAt, page->price, page->bids });
    m_services.persistence.save();
    m_services.messages.show(*name + u"　のタイマーをスタートしました。"_s, owner);
}

void Registration::arm(int n, const Registrable &item)
{
    m_services.timers.assign(n, { item.name, item.url, item.start, item.price, item.bids }, item.endAt);
}

QList<int> Registration::freeSlots() const
{
    return m_services.timers.unarmed();
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
