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

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kAppTitleSuffix = u" - Larkvane"_s;

std::optional<QString> itemName(const QString &caption)
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

} // namespace

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

    if (store.value(Setting::kSoundFile).isEmpty()) {
        qCInfo(lcBrowser) << "slot" << n << "not set: no sound file is chosen";
        m_services.messages.show(u"サウンドが指定されていません。環境設定を確認してください。"_s, owner);
        return;
    }
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
        m_services.messages.show(u"このページではタイマーが使えません。"_s, owner);
        return;
    }
    // Whole seconds from the last whole second, and the first tick on the
    // next one: the count then meets the true time left to the millisecond.
    const QDateTime now = m_services.clock.now(QUrl(url).host());
    qCInfo(lcBrowser).nospace().noquote()
        << "slot " << n << " set from " << url << ": 「" << *name << "」, ends " << end
        << (endAt.time().second() ? " (to the second)" : "");
    Slot(store, n).armUntil(endAt, now);
    m_services.persistence.save();
    m_services.messages.show(*name + u"　のタイマーをスタートしました。"_s, owner);
}
