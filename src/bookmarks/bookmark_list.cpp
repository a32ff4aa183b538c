#include "bookmark_list.h"

#include "browser_host.h"
#include "message_box.h"
#include "numeric.h"
#include "persistence.h"
#include "services.h"

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

bool isLeadByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace

QList<Bookmark> BookmarkList::parse(const QString &text, qsizetype count)
{
    QList<Bookmark> list;
    qsizetype pos = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype titleEnd = text.indexOf(u',', pos);
        if (titleEnd < 0)
            break;
        const qsizetype urlEnd = text.indexOf(u',', titleEnd + 1);
        if (urlEnd < 0)
            break;
        list.append({ text.mid(pos, titleEnd - pos), text.mid(titleEnd + 1, urlEnd - titleEnd - 1) });
        pos = urlEnd + 1;
    }
    return list;
}

QByteArray BookmarkList::wholeRecords(QByteArrayView stored, bool utf8)
{
    const qsizetype nul = stored.indexOf('\0');
    if (nul >= 0)
        stored = stored.first(nul);
    // Commas are counted as the decoder reads the text: a lead byte takes the
    // byte after it whatever that is, so a comma there (in a file some other
    // program wrote) is no separator. Counting it would shift every later
    // record by one field. UTF-8 has no such pairs.
    qsizetype end = 0;
    int commas = 0;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (!utf8 && isLeadByte(stored[i]) && i + 1 < stored.size()) {
            ++i;
            continue;
        }
        if (stored[i] == ',' && ++commas % 2 == 0)
            end = i + 1;
    }
    return stored.first(end).toByteArray();
}

QString BookmarkList::serialize(const QList<Bookmark> &list)
{
    QString text;
    for (const Bookmark &b : list)
        text += b.title + u',' + b.url + u',';
    return text;
}

qsizetype BookmarkList::statedCount(const QString &dtLen)
{
    const double n = std::floor(numericValue(dtLen));
    if (!(n > 0))
        return 0;
    if (n >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<qsizetype>(n);
}

Bookmark BookmarkList::storable(const QString &title, const QString &url)
{
    QString t = title;
    t.replace(u',', u'，').replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u' ');
    QString u = url;
    u.replace(u","_s, u"%2C"_s)
        .replace(u"\r"_s, u"%0D"_s)
        .replace(u"\n"_s, u"%0A"_s)
        .replace(QChar(0), u"%00"_s);
    return { t, u };
}

QList<Bookmark> BookmarkList::load(const Persistence &file, int bufferSize)
{
    const Persistence::StoredBookmarks stored = file.bookmarks(bufferSize);
    // Records after a NUL or cut by the buffer are not read.
    return parse(stored.decode(wholeRecords(stored.list, stored.utf8)), statedCount(stored.count));
}

bool BookmarkList::save(Persistence &file, const QList<Bookmark> &list)
{
    return file.saveBookmarks(QString::number(list.size()), serialize(list));
}

bool BookmarkList::addCurrentPage(Services &services, QObject *owner)
{
    // The count written is the records actually kept, so that dt_len always
    // matches datatxt and the new page is never hidden behind a short count.
    QList<Bookmark> list = load(services.persistence, kAddBuffer);

    const QString title = services.browser.locationName();
    // A page still loading reports its address as its name.
    if (title.isEmpty() || title.startsWith(u"http"_s, Qt::CaseSensitive)) {
        services.messages.show(u"動作が正しくありません。もう一度同じ操作を繰り返してみて下さい。"_s, owner);
        return false;
    }
    const Bookmark added = storable(title, services.browser.locationUrl());
    list.append(added);
    save(services.persistence, list);
    services.messages.show(u"「"_s + added.title + u"」をお気に入りに登録しました。"_s, owner);
    return true;
}
