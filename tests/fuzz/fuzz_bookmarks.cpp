// The bookmark list: any stored text reads as whole records, and a list made
// storable comes back from the settings file as it went in.

#include "bookmark_list.h"
#include "cp932_codec.h"
#include "fuzz_check.h"
#include "profile_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

QString text(FuzzedDataProvider &in, size_t most)
{
    // Half the time as bytes of the file's code page, half as any UTF-16.
    const std::string s = in.ConsumeRandomLengthString(most);
    if (in.ConsumeBool())
        return Cp932::decode(QByteArrayView(s.data(), qsizetype(s.size())));
    QString units(qsizetype(s.size() / 2), Qt::Uninitialized);
    std::memcpy(units.data(), s.data(), size_t(units.size()) * 2);
    return units;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r' || c == u'\n' || c == u'\x1A';
}

void checkReader(const QByteArray &stored, const QString &dtLen, const ProfileText &file = ProfileText())
{
    // Whole records of the text as decoded, and nothing whole left behind.
    const QByteArray whole = BookmarkList::wholeRecords(stored, file.isUtf8());
    FUZZ_CHECK(stored.startsWith(whole) && !whole.contains('\0'));
    const QString decoded = file.decode(whole);
    FUZZ_CHECK(decoded.count(u',') % 2 == 0 && (decoded.isEmpty() || decoded.endsWith(u',')));
    const qsizetype nul = stored.indexOf('\0');
    const QString all = file.decode(nul < 0 ? stored : stored.first(nul));
    FUZZ_CHECK(all.startsWith(decoded) && all.mid(decoded.size()).count(u',') < 2);

    const qsizetype count = BookmarkList::statedCount(dtLen);
    FUZZ_CHECK(count >= 0);
    const QList<Bookmark> list = BookmarkList::parse(decoded, count);
    FUZZ_CHECK(list.size() <= count);
    const QString again = BookmarkList::serialize(list);
    FUZZ_CHECK(decoded.startsWith(again));
    if (list.size() < count)
        FUZZ_CHECK(again == decoded);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        const QString dtLen = Cp932::decode(QByteArray::fromStdString(in.ConsumeRandomLengthString(20)));
        const std::string rest = in.ConsumeRemainingBytesAsString();
        checkReader(QByteArray::fromStdString(rest), dtLen);
        return 0;
    }

    QList<Bookmark> list;
    const int n = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < n; ++i) {
        const QString title = text(in, 120);
        const QString url = text(in, 120);
        const Bookmark b = BookmarkList::storable(title, url);
        FUZZ_CHECK(!b.title.contains(u',') && !b.url.contains(u','));
        list.append(b);
    }
    const QByteArray before = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    // What the file's encoding cannot hold reads "?" (code page 932; UTF-8
    // holds everything but a lone surrogate).
    const ProfileText encoding(before);
    const auto kept = [&encoding](const QString &t) { return encoding.decode(encoding.encode(t)); };
    QList<Bookmark> expected;
    for (const Bookmark &b : std::as_const(list))
        expected.append({ kept(b.title), kept(b.url) });

    // The window's reader sees 2999 bytes; a shorter list comes back whole.
    QByteArray file = ProfileFile::applyWrite(before, u"Bmark"_s, u"dt_len"_s, QString::number(list.size()));
    file = ProfileFile::applyWrite(file, u"Bmark"_s, u"datatxt"_s, BookmarkList::serialize(list));
    const QByteArray stored
        = ProfileFile::readFrom(file, u"Bmark"_s, u"datatxt"_s, BookmarkList::kWindowBuffer);
    const QString dtLen = encoding.decode(ProfileFile::readFrom(file, u"Bmark"_s, u"dt_len"_s));
    checkReader(stored, dtLen, encoding);
    const QList<Bookmark> loaded
        = BookmarkList::parse(encoding.decode(BookmarkList::wholeRecords(stored, encoding.isUtf8())),
            BookmarkList::statedCount(dtLen));
    // The reader trims the value's leading blanks, which are the first
    // title's.
    const bool leadingBlank
        = !expected.isEmpty() && !expected.front().title.isEmpty() && isBlank(expected.front().title.front());
    if (Cp932::encode(BookmarkList::serialize(list)).size() < BookmarkList::kWindowBuffer && !leadingBlank) {
        if (loaded != expected) {
            fuzzNote("saved", BookmarkList::serialize(expected));
            fuzzNote("loaded", BookmarkList::serialize(loaded));
        }
        FUZZ_CHECK(loaded == expected);
    }
    return 0;
}
