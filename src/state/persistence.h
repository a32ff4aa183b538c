#pragma once

#include "profile_file.h"
#include "slot_record.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

class StateStore;

// larkvane.ini, and nothing else writes it: the settings in the store, the ten
// slots of whoever owns them, the bookmarks. Every key the file holds is named
// here and nowhere else. save() is the one save: the exit uses it, and so does
// every change that must survive a crash (registration, cancel, snooze, slot
// end, settings applied, browser window closed).
class Persistence
{
public:
    using Slots = std::array<SlotRecord, kSlotCount>;

    // The file is larkvane.ini in `bootDir`, the folder the program started in.
    Persistence(StateStore &store, QString bootDir);

    QString iniPath() const;

    // Whose slots a save writes; until one is set, every slot is saved free.
    void setSlotSource(const SlotSource *source) { m_slots = source; }

    // Start-up: sets boot_dir, reads the settings into the store with their
    // floors and defaults, and gives back the slots as the file holds them
    // (a slot without a title is free, whatever else it holds).
    Slots restore();

    // Writes [pref], [Sound_File] and [Auction_File] in the exit's key order,
    // as one atomic replacement; other sections and lines stay as they were.
    // False when the file could not be written (the old file is left whole).
    bool save();

    // Told, in words for the user, when a save fails: once per cause, and
    // again after a save has succeeded. Every later change tries again.
    void setProblemListener(std::function<void(const QString &)> tell) { m_tell = std::move(tell); }
    // What start-up could not read, in words for the user; empty when the
    // file was read or there was none.
    QString restoreProblem() const { return m_restoreProblem; }
    static QString saveProblemText(ProfileFile::Failure why);
    static QString restoreProblemText(ProfileFile::Failure why);

    // [Bmark] as a reader with a `bufferSize`-byte buffer for the list sees
    // it: the count as text, the list as its stored bytes, and whether those
    // bytes are UTF-8 (else code page 932).
    struct StoredBookmarks
    {
        QString count;
        QByteArray list;
        bool utf8 = false;
        QString decode(QByteArrayView bytes) const;
    };
    StoredBookmarks bookmarks(int listBufferSize) const;
    // The count and the list in one replacement of the file.
    bool saveBookmarks(const QString &count, const QString &list);

private:
    bool saved(const ProfileFile &file, bool ok);

    StateStore &m_store;
    std::function<void(const QString &)> m_tell;
    ProfileFile::Failure m_told = ProfileFile::Failure::None;
    QString m_restoreProblem;
    QString m_bootDir;
    const SlotSource *m_slots = nullptr;
};
