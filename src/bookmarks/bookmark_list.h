#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class Persistence;
class QObject;
struct Services;

struct Bookmark
{
    QString title;
    QString url;
    friend bool operator==(const Bookmark &, const Bookmark &) = default;
};

// The bookmarks as [Bmark] of larkvane.ini keeps them: dt_len, the count,
// and datatxt, every record as title "," url "," with nothing between. The
// format has no escape, so what goes in is made comma-free first.
class BookmarkList
{
public:
    // How much of each key a reader sees (bytes of the file's encoding).
    static constexpr int kCountBuffer = 256;
    static constexpr int kAddBuffer = 5000;
    static constexpr int kWindowBuffer = 3000;

    // The records a reader takes from datatxt: at most `count`, stopping at
    // the end of the text or at a record without both of its commas.
    static QList<Bookmark> parse(const QString &text, qsizetype count);
    // The stored bytes up to the end of the last record that is whole,
    // before any NUL: a text cut by a read buffer never yields half a record.
    // Code page 932 unless `utf8`.
    static QByteArray wholeRecords(QByteArrayView stored, bool utf8 = false);
    static QString serialize(const QList<Bookmark> &list);
    // dt_len as a count: its leading number, whole records only, never negative.
    static qsizetype statedCount(const QString &dtLen);

    // A title and address as they can be stored: a comma in the title becomes
    // a full-width one, in the address its percent form; line breaks, which
    // would start a new line of the settings file, go the same way, and so
    // does a NUL, at which every reader would stop.
    static Bookmark storable(const QString &title, const QString &url);

    // The list a reader with a datatxt buffer of `bufferSize` bytes sees.
    static QList<Bookmark> load(const Persistence &file, int bufferSize);
    // dt_len and datatxt in one replacement of the file.
    static bool save(Persistence &file, const QList<Bookmark> &list);

    // "このページを追加する" / "bk_add": appends the browser's page to the
    // list in the file at once and says so. False when the page was refused.
    static bool addCurrentPage(Services &services, QObject *owner);
};
