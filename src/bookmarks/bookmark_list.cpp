#include "bookmark_list.h"

#include "browser_host.h"
#include "message_box.h"
#include "numeric.h"
#include "profile_file.h"
#include "services.h"
#include "state_store.h"

#include <QDir>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Bmark"_s;
const QString kCountKey = u"dt_len"_s;
const QString kTextKey = u"datatxt"_s;

bool isLeadByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace

QString BookmarkList::settingsPath()
{
    return QDir(QDir::currentPath()).filePath(u"larkvane.ini"_s);
}

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

QList<Bookmark> BookmarkList::load(const ProfileFile &file, int bufferSize)
{
    const ProfileText ini = file.snapshot();
    const qsizetype count = statedCount(ini.text(kSection, kCountKey, kCountBuffer));
    const QByteArray text = wholeRecords(ini.value(kSection, kTextKey, bufferSize), ini.isUtf8());
    return parse(ini.decode(text), count);
}

bool BookmarkList::save(ProfileFile &file, const QList<Bookmark> &list)
{
    return file.writeAll({
        { kSection, kCountKey, QString::number(list.size()) },
        { kSection, kTextKey, serialize(list) },
    });
}

bool BookmarkList::addCurrentPage(Services &services, QObject *owner)
{
    ProfileFile file(settingsPath());
    const ProfileText ini = file.snapshot();
    const qsizetype stated = statedCount(ini.text(kSection, kCountKey, kCountBuffer));
    // The old list travels through dt_temp, which keeps nothing past a NUL.
    services.store.setValue(
        u"dt_temp"_s, ini.decode(wholeRecords(ini.value(kSection, kTextKey, kAddBuffer), ini.isUtf8())));
    // The count written is the records actually kept, so that dt_len always
    // matches datatxt and the new page is never hidden behind a short count.
    QList<Bookmark> list = parse(services.store.value(u"dt_temp"_s), stated);

    const QString title = services.browser.locationName();
    // A page still loading reports its address as its name.
    if (title.isEmpty() || title.startsWith(u"http"_s, Qt::CaseSensitive)) {
        services.messages.show(u"動作が正しくありません。もう一度同じ操作を繰り返してみて下さい。"_s, owner);
        return false;
    }
    const Bookmark added = storable(title, services.browser.locationUrl());
    list.append(added);
    save(file, list);
    services.messages.show(u"「"_s + added.title + u"」をお気に入りに登録しました。"_s, owner);
    return true;
}
