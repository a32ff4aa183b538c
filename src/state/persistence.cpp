#include "persistence.h"

#include "clock.h"
#include "log.h"
#include "numeric.h"
#include "profile_file.h"
#include "settings_fields.h"
#include "slot.h"
#include "state_store.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kPref = u"pref"_s;
const QString kSound = u"Sound_File"_s;
const QString kSlots = u"Auction_File"_s;

struct Key
{
    QString key;
    QString field;
};

// Slot keys in file order, with the store family each belongs to.
const QList<Key> &slotKeys()
{
    static const QList<Key> keys = {
        { u"data"_s, u"TimerText"_s },
        { u"start"_s, u"starttime"_s },
        { u"end"_s, u"EndTime"_s },
        { u"URL"_s, u"URL"_s },
        { u"retime"_s, u"reTime"_s },
    };
    return keys;
}

} // namespace

Persistence::Persistence(StateStore &store, QString bootDir)
    : m_store(store)
    , m_bootDir(std::move(bootDir))
{
}

QString Persistence::iniPath() const
{
    return QDir(m_bootDir).filePath(u"larkvane.ini"_s);
}

void Persistence::restore(const Clock &clock)
{
    m_store.setValue(Setting::kBootDir, m_bootDir);
    // One parse for every key: the file may be large, and there are 63 reads.
    const ProfileText file = ProfileFile(iniPath()).snapshot();
    const auto read
        = [&file](const QString &section, const QString &key) { return file.text(section, key, 256); };
    const auto readInto
        = [&](const QString &key, const QString &field) { m_store.setValue(field, read(kPref, key)); };
    const auto floor = [this](const QString &field, double minimum, const QString &replacement) {
        if (numericValue(m_store.value(field)) < minimum)
            m_store.setValue(field, replacement);
    };

    readInto(u"INI"_s, Setting::kLeadSeconds);
    readInto(u"x_pos"_s, Setting::kBrowserX);
    floor(Setting::kBrowserX, 100, u"100"_s);
    readInto(u"y_pos"_s, Setting::kBrowserY);
    floor(Setting::kBrowserY, 100, u"100"_s);
    readInto(u"width"_s, Setting::kBrowserWidth);
    floor(Setting::kBrowserWidth, 3000, u"10000"_s);
    readInto(u"height"_s, Setting::kBrowserHeight);
    floor(Setting::kBrowserHeight, 3000, u"8000"_s);
    readInto(u"tbar1"_s, Setting::kToolbar);
    readInto(u"tbar2"_s, Setting::kButtons);
    readInto(u"tbar2mode"_s, Setting::kButtonsCorner);
    readInto(u"Mes_pos1"_s, Setting::kAlertTop);
    readInto(u"Mes_pos2"_s, Setting::kAlertLeft);

    const QString wave = read(kSound, u"wave"_s);
    m_store.setValue(
        Setting::kSoundFile, wave.isEmpty() ? QDir(m_bootDir).filePath(u"timecall.wav"_s) : wave);
    qCInfo(lcState).nospace().noquote()
        << "lead " << m_store.value(Setting::kLeadSeconds) << " s, sound "
        << m_store.value(Setting::kSoundFile)
        << (QFileInfo(m_store.value(Setting::kSoundFile)).isFile() ? ""
                                                                   : " (no such file: alerts stay silent)");

    readInto(u"check"_s, Setting::kStartInTray);
    if (m_store.value(Setting::kStartInTray) != u"1"_s)
        m_store.setValue(Setting::kStartInTray, u"0"_s);

    // [Notify]: a file from before it has none, and its empty fields mean off.
    for (const QString &field : Setting::notifyFields()) {
        if (const QString text = read(u"Notify"_s, field); !text.isEmpty())
            m_store.setValue(field, text);
    }

    for (int n = 1; n <= StateStore::kSlots; ++n) {
        const QString number = QString::number(n);
        if (read(kSlots, u"data"_s + number).isEmpty())
            continue;
        for (const Key &k : slotKeys())
            m_store.setSlotValue(k.field, n, read(kSlots, k.key + number));
    }

    // Japan time, whatever this machine's zone; whole seconds, as the
    // countdown counts them.
    QDateTime now = clock.now().toOffsetFromUtc(kJapanOffsetSeconds);
    // The counts are whole seconds from the last whole second; the first tick
    // comes on the next one.
    const int firstTickMs = 1000 - now.time().msec();
    now = now.addMSecs(-now.time().msec());
    const QDate today = now.date();
    if (!now.isValid()) {
        qCWarning(lcState) << "the clock gives no valid time: no slot is re-armed";
        return;
    }
    for (int n = 1; n <= StateStore::kSlots; ++n) {
        if (!m_store.isOccupied(n)) {
            qCDebug(lcState).nospace().noquote() << "restored slot " << n << ": free";
            continue;
        }
        const QString text = m_store.slotValue(u"EndTime"_s, n);
        Slot slot(m_store, n);
        const QDateTime end = slot.end();
        const auto report = [&](const char *outcome) {
            qCInfo(lcState).nospace().noquote()
                << "restored slot " << n << ": 「" << m_store.slotValue(u"TimerText"_s, n) << "」"
                << ", ends " << text << outcome;
        };
        // A hand-edited end that is no date is treated like one long past:
        // the slot keeps its texts and waits to be cleared.
        if (!end.isValid()) {
            report(", which is no date: kept, not armed");
            continue;
        }
        if (end.date() < today) {
            report(", an earlier day: kept until cleared");
            continue;
        }
        slot.countTo(end, now);
        if (end > now) {
            report(", still ahead: re-armed");
            m_store.arm(n, firstTickMs);
        } else {
            report(", already past: kept until cleared");
        }
    }
}

bool Persistence::save()
{
    QList<ProfileFile::Entry> entries;
    const auto put = [&](const QString &section, const QString &key, const QString &field) {
        entries.append({ section, key, m_store.value(field) });
    };
    put(kPref, u"INI"_s, Setting::kLeadSeconds);
    put(kPref, u"x_pos"_s, Setting::kBrowserX);
    put(kPref, u"y_pos"_s, Setting::kBrowserY);
    put(kPref, u"width"_s, Setting::kBrowserWidth);
    put(kPref, u"height"_s, Setting::kBrowserHeight);
    put(kPref, u"check"_s, Setting::kStartInTray);
    put(kPref, u"tbar1"_s, Setting::kToolbar);
    put(kPref, u"tbar2"_s, Setting::kButtons);
    put(kPref, u"tbar2mode"_s, Setting::kButtonsCorner);
    put(kPref, u"Mes_pos1"_s, Setting::kAlertTop);
    put(kPref, u"Mes_pos2"_s, Setting::kAlertLeft);
    put(kSound, u"wave"_s, Setting::kSoundFile);
    for (int n = 1; n <= StateStore::kSlots; ++n) {
        const bool occupied = m_store.isOccupied(n);
        for (const Key &k : slotKeys())
            entries.append(
                { kSlots, k.key + QString::number(n), occupied ? m_store.slotValue(k.field, n) : QString() });
    }
    // [Notify] once anything is set in it, so that a file that never had it
    // stays as it was; the dialog writes 0 or 1 for each channel, so a
    // section once written is never left behind with stale values.
    const QStringList notify = Setting::notifyFields();
    if (std::any_of(
            notify.begin(), notify.end(), [this](const QString &f) { return !m_store.value(f).isEmpty(); }))
        for (const QString &field : notify)
            put(u"Notify"_s, field, field);
    // Nobody is told beyond the log: a save follows every change, and a box
    // for each would bury the user while the disk stays full.
    const bool saved = ProfileFile(iniPath()).writeAll(entries);
    if (saved)
        qCInfo(lcState) << "saved" << iniPath();
    else
        qCWarning(lcState) << "could not save" << iniPath() << "- the file keeps its previous contents";
    return saved;
}
