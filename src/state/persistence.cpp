#include "persistence.h"

#include "log.h"
#include "numeric.h"
#include "profile_file.h"
#include "settings_fields.h"
#include "state_store.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QString kPref = u"pref"_s;
const QString kSound = u"Sound_File"_s;
const QString kSlotSection = u"Auction_File"_s;
const QString kNotifySection = u"Notify"_s;
const QString kBookmarkSection = u"Bmark"_s;
// Every value but the bookmark list is read into a buffer of this many
// bytes, and written no longer than it will be read.
constexpr int kValueBuffer = 256;
const QString kBookmarkCount = u"dt_len"_s;
const QString kBookmarkList = u"datatxt"_s;

// What start-up makes of a value as read: the value to keep.
using Fix = std::function<QString(const QString &read, const QString &bootDir)>;

Fix atLeast(double minimum, const QString &replacement)
{
    return [=](const QString &read, const QString &) {
        return numericValue(read) < minimum ? replacement : read;
    };
}

struct SettingKey
{
    QString section;
    QString key;
    QString field;
    Fix fix; // none: kept as read
};

// The settings, in the order the exit writes them.
const QList<SettingKey> &settingKeys()
{
    static const QList<SettingKey> keys = {
        { kPref, u"INI"_s, Setting::kLeadSeconds, {} },
        { kPref, u"x_pos"_s, Setting::kBrowserX, atLeast(100, u"100"_s) },
        { kPref, u"y_pos"_s, Setting::kBrowserY, atLeast(100, u"100"_s) },
        { kPref, u"width"_s, Setting::kBrowserWidth, atLeast(3000, u"10000"_s) },
        { kPref, u"height"_s, Setting::kBrowserHeight, atLeast(3000, u"8000"_s) },
        { kPref, u"check"_s, Setting::kStartInTray,
            [](const QString &read, const QString &) { return read == u"1"_s ? read : u"0"_s; } },
        { kPref, u"tbar1"_s, Setting::kToolbar, {} },
        { kPref, u"tbar2"_s, Setting::kButtons, {} },
        { kPref, u"tbar2mode"_s, Setting::kButtonsCorner, {} },
        { kPref, u"Mes_pos1"_s, Setting::kAlertTop, {} },
        { kPref, u"Mes_pos2"_s, Setting::kAlertLeft, {} },
        { kPref, u"remind"_s, Setting::kReminders, {} },
        { kSound, u"wave"_s, Setting::kSoundFile,
            [](const QString &read, const QString &bootDir) {
                return read.isEmpty() ? QDir(bootDir).filePath(u"timecall.wav"_s) : read;
            } },
    };
    return keys;
}

// A slot's keys in file order (data3, start3, ...), with the part of the
// slot each holds.
struct SlotKey
{
    QString key;
    QString SlotRecord::*part;
};
const QList<SlotKey> &slotKeys()
{
    static const QList<SlotKey> keys = {
        { u"data"_s, &SlotRecord::title },
        { u"start"_s, &SlotRecord::start },
        { u"end"_s, &SlotRecord::end },
        { u"URL"_s, &SlotRecord::url },
        { u"retime"_s, &SlotRecord::ownLead },
        { u"price"_s, &SlotRecord::price },
        { u"bids"_s, &SlotRecord::bids },
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

Persistence::Slots Persistence::restore()
{
    m_store.setValue(Setting::kBootDir, m_bootDir);
    // One parse for every key: the file may be large, and there are 63 reads.
    const ProfileFile profile(iniPath());
    const ProfileText file = profile.snapshot();
    m_restoreProblem = restoreProblemText(profile.failure());
    for (const SettingKey &k : settingKeys()) {
        const QString read = file.text(k.section, k.key, kValueBuffer);
        m_store.setValue(k.field, k.fix ? k.fix(read, m_bootDir) : read);
    }
    qCInfo(lcState).nospace().noquote()
        << "lead " << m_store.value(Setting::kLeadSeconds) << " s, sound "
        << m_store.value(Setting::kSoundFile)
        << (QFileInfo(m_store.value(Setting::kSoundFile)).isFile() ? ""
                                                                   : " (no such file: alerts stay silent)");

    // [Notify]: a file from before it has none, and its empty fields mean off.
    for (const QString &field : Setting::notifyFields()) {
        if (const QString text = file.text(kNotifySection, field, kValueBuffer); !text.isEmpty())
            m_store.setValue(field, text);
    }

    Slots slots;
    for (int n = 1; n <= kSlotCount; ++n) {
        const QString number = QString::number(n);
        // A slot without a title is free: its other keys are not read.
        if (file.text(kSlotSection, u"data"_s + number, kValueBuffer).isEmpty())
            continue;
        for (const SlotKey &k : slotKeys())
            slots[n - 1].*k.part = file.text(kSlotSection, k.key + number, kValueBuffer);
    }
    return slots;
}

bool Persistence::save()
{
    QList<ProfileFile::Entry> entries;
    for (const SettingKey &k : settingKeys())
        entries.append({ k.section, k.key, m_store.value(k.field), kValueBuffer });
    for (int n = 1; n <= kSlotCount; ++n) {
        const SlotRecord slot = m_slots ? m_slots->slotRecord(n) : SlotRecord();
        for (const SlotKey &k : slotKeys())
            entries.append({ kSlotSection, k.key + QString::number(n),
                slot.isFree() ? QString() : slot.*k.part, kValueBuffer });
    }
    // [Notify] once anything is set in it, so that a file that never had it
    // stays as it was; the dialog writes 0 or 1 for each channel, so a
    // section once written is never left behind with stale values.
    const QStringList notify = Setting::notifyFields();
    if (std::any_of(
            notify.begin(), notify.end(), [this](const QString &f) { return !m_store.value(f).isEmpty(); }))
        for (const QString &field : notify)
            entries.append({ kNotifySection, field, m_store.value(field), kValueBuffer });
    ProfileFile file(iniPath());
    return saved(file, file.writeAll(entries));
}

bool Persistence::saved(const ProfileFile &file, bool ok)
{
    if (ok) {
        qCInfo(lcState) << "saved" << iniPath();
        m_told = ProfileFile::Failure::None;
        return true;
    }
    qCWarning(lcState) << "could not save" << iniPath() << "- the file keeps its previous contents";
    // A save follows every change: a word for each would bury the user while
    // the disk stays full. Once for each cause, then.
    if (file.failure() != m_told) {
        m_told = file.failure();
        if (m_tell)
            m_tell(saveProblemText(m_told));
    }
    return false;
}

QString Persistence::saveProblemText(ProfileFile::Failure why)
{
    QString cause;
    switch (why) {
    case ProfileFile::Failure::DiskFull:
        cause = u"ディスクの空きがないため、"_s;
        break;
    case ProfileFile::Failure::ReadOnly:
        cause = u"フォルダーまたはファイルに書き込めないため、"_s;
        break;
    case ProfileFile::Failure::TooLarge:
        cause = u"larkvane.ini が大きすぎて安全に読めないため、"_s;
        break;
    case ProfileFile::Failure::Unreadable:
        cause = u"larkvane.ini を読めないため、"_s;
        break;
    case ProfileFile::Failure::None:
    case ProfileFile::Failure::Other:
        break;
    }
    return cause
        + u"設定を larkvane.ini に保存できませんでした。このままではタイマーは再起動すると失われます。"
          u"変更のたびに保存をやり直します。"_s;
}

QString Persistence::restoreProblemText(ProfileFile::Failure why)
{
    const QString after = u"タイマーと設定は初期状態で始まります。ファイルはそのまま残し、上書きしません。"_s;
    switch (why) {
    case ProfileFile::Failure::TooLarge:
        return u"larkvane.ini が大きすぎるため（64 MB 超）、安全に読み込めませんでした。"_s + after;
    case ProfileFile::Failure::None:
        return QString();
    default:
        return u"larkvane.ini を読み込めませんでした。"_s + after;
    }
}

QString Persistence::StoredBookmarks::decode(QByteArrayView bytes) const
{
    return ProfileText::decode(bytes, utf8);
}

Persistence::StoredBookmarks Persistence::bookmarks(int listBufferSize) const
{
    const ProfileText ini = ProfileFile(iniPath()).snapshot();
    return { ini.text(kBookmarkSection, kBookmarkCount, kValueBuffer),
        ini.value(kBookmarkSection, kBookmarkList, listBufferSize), ini.isUtf8() };
}

bool Persistence::saveBookmarks(const QString &count, const QString &list)
{
    ProfileFile file(iniPath());
    return saved(file,
        file.writeAll({
            { kBookmarkSection, kBookmarkCount, count, kValueBuffer },
            { kBookmarkSection, kBookmarkList, list },
        }));
}
