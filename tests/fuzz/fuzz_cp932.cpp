// Code page 932: any bytes decode, any UTF-16 encodes, and what one side
// gives the other takes back unchanged.

#include "cp932_codec.h"
#include "fuzz_check.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Every character decoded is one the code page holds: it comes back as
    // itself, whatever code Windows prefers for it.
    const QString text = Cp932::decode(bytes);
    FUZZ_CHECK(text.size() <= bytes.size() && text.size() * 2 >= bytes.size());
    const QByteArray again = Cp932::encode(text);
    if (Cp932::decode(again) != text) {
        fuzzNote("input", bytes.toByteArray());
        fuzzNote("encoded again", again);
        FUZZ_CHECK(Cp932::decode(again) == text);
    }
    FUZZ_CHECK(Cp932::encode(Cp932::decode(again)) == again);

    // A cut never splits a character and cuts no more than it must.
    for (const qsizetype limit :
        { qsizetype(size / 2), qsizetype(size) - 1, qsizetype(size), qsizetype(7) }) {
        const qsizetype cut = Cp932::safePrefixLength(bytes, limit);
        const qsizetype most = qBound<qsizetype>(0, limit, bytes.size());
        FUZZ_CHECK(cut >= 0 && cut <= most && cut >= most - 1);
        const QString head = Cp932::decode(bytes.first(cut));
        FUZZ_CHECK(text.startsWith(head));
        // The byte left out starts a pair that the limit would split.
        if (cut < most)
            FUZZ_CHECK(
                cut + 2 <= bytes.size() && Cp932::decode(bytes.first(cut + 2)).size() == head.size() + 1);
    }

    // The same bytes as UTF-16: each character becomes itself or one "?",
    // a pair of surrogates (one character) a single "?".
    std::u16string copy(size / 2, u'\0');
    std::memcpy(copy.data(), data, copy.size() * 2);
    const QStringView units(copy);
    const QString back = Cp932::decode(Cp932::encode(units));
    qsizetype at = 0;
    for (qsizetype i = 0; i < units.size(); ++i, ++at) {
        FUZZ_CHECK(at < back.size());
        const QChar c = units[i];
        if (c.isHighSurrogate() && i + 1 < units.size() && units[i + 1].isLowSurrogate()) {
            ++i;
            FUZZ_CHECK(back[at] == u'?');
            continue;
        }
        FUZZ_CHECK(back[at] == c || back[at] == u'?');
    }
    FUZZ_CHECK(at == back.size());
    return 0;
}
