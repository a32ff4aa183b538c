#include "cp932_codec.h"

#include <QtGlobal>

#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>

namespace Cp932 {

namespace {

constexpr char16_t kUnmapped = u'\u30FB'; // "・", what Windows gives for a broken pair
constexpr char kNotHeld = '?';

constexpr bool isLead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool isTrail(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

constexpr bool isUserDefinedLead(unsigned char b)
{
    return b >= 0xF0 && b <= 0xF9;
}

// glibc knows which pairs Windows assigns and which of several duplicate codes
// Windows prefers when encoding, but refuses the single bytes 80, A0 and FD-FF
// and the user-defined rows. So the tables are built from iconv once and the
// gaps are filled in by hand.
struct Tables
{
    // Indexed by lead << 8 | trail; every lead row is complete, so a pair is
    // one lookup whatever the trail byte.
    std::array<char16_t, 65536> pair {};
    std::array<char16_t, 256> single {};
    // UTF-16 unit -> code: a value < 0x100 is one byte, otherwise two; 0 means
    // "not held" (U+0000 itself is handled before the lookup).
    std::array<quint16, 65536> reverse {};
};

class Iconv
{
public:
    Iconv(const char *to, const char *from)
        : m_cd(iconv_open(to, from))
    {
    }
    ~Iconv()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input or nothing.
    bool convert(const char *in, size_t inLen, char *out, size_t outCap, size_t *outLen)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char *ip = const_cast<char *>(in);
        char *op = out;
        size_t il = inLen;
        size_t ol = outCap;
        if (iconv(m_cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0)
            return false;
        *outLen = outCap - ol;
        return true;
    }

private:
    iconv_t m_cd;
};

std::unique_ptr<Tables> buildTables()
{
    auto t = std::make_unique<Tables>();

    for (int b = 0; b < 0x80; ++b)
        t->single[b] = char16_t(b);
    for (int b = 0xA1; b <= 0xDF; ++b)
        t->single[b] = char16_t(0xFF61 + (b - 0xA1));
    t->single[0x80] = u'\u0080';
    t->single[0xA0] = u'\uF8F0';
    t->single[0xFD] = u'\uF8F1';
    t->single[0xFE] = u'\uF8F2';
    t->single[0xFF] = u'\uF8F3';
    // Lead bytes never reach the single table: they decode as a pair or as a
    // lone "・".
    for (int b = 0; b < 256; ++b)
        if (isLead(static_cast<unsigned char>(b)))
            t->single[b] = kUnmapped;

    t->pair.fill(kUnmapped);

    Iconv toUtf16("UTF-16LE", "CP932");
    Iconv fromUtf16("CP932", "UTF-16LE");
    if (!toUtf16.ok() || !fromUtf16.ok())
        qWarning("code page 932 is not available from iconv; Japanese text cannot be read or written");

    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLead(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!isTrail(static_cast<unsigned char>(trail)))
                continue;
            const int code = lead << 8 | trail;
            if (isUserDefinedLead(static_cast<unsigned char>(lead))) {
                // 188 trail bytes per row, 7F skipped.
                const int index = (lead - 0xF0) * 188 + (trail < 0x7F ? trail - 0x40 : trail - 0x41);
                t->pair[code] = char16_t(0xE000 + index);
                continue;
            }
            if (!toUtf16.ok())
                continue;
            const char in[2] = { static_cast<char>(lead), static_cast<char>(trail) };
            char out[8];
            size_t outLen = 0;
            if (toUtf16.convert(in, 2, out, sizeof out, &outLen) && outLen == 2) {
                t->pair[code]
                    = char16_t(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
            }
        }
    }

    // Reverse: every character some code decodes to is held. Where several
    // codes decode to the same character, iconv's choice is Windows' choice.
    for (int b = 1; b < 256; ++b)
        if (!isLead(static_cast<unsigned char>(b)))
            t->reverse[t->single[b]] = quint16(b);
    for (int code = 0x8100; code < 0x10000; ++code) {
        const char16_t u = t->pair[code];
        if (u == kUnmapped || !isLead(static_cast<unsigned char>(code >> 8))
            || !isTrail(static_cast<unsigned char>(code & 0xFF)))
            continue;
        if (t->reverse[u] == 0)
            t->reverse[u] = quint16(code);
    }
    // "・" itself is a real character at 8145; an unassigned pair must not
    // claim it.
    t->reverse[kUnmapped] = 0x8145;
    if (fromUtf16.ok()) {
        for (int u = 0x80; u < 0x10000; ++u) {
            const quint16 current = t->reverse[u];
            if (current < 0x100)
                continue; // not held, or a single byte: nothing to prefer
            const char in[2] = { static_cast<char>(u & 0xFF), static_cast<char>(u >> 8) };
            char out[4];
            size_t outLen = 0;
            if (!fromUtf16.convert(in, 2, out, sizeof out, &outLen) || outLen != 2)
                continue;
            const quint16 preferred
                = quint16(static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
            if (t->pair[preferred] == char16_t(u))
                t->reverse[u] = preferred;
        }
    }
    return t;
}

const Tables &tables()
{
    static const std::unique_ptr<Tables> built = buildTables();
    return *built;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    const Tables &t = tables();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    QString out(n, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    qsizetype written = 0;
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (isLead(b) && i + 1 < n && p[i + 1] != 0) {
            o[written++] = t.pair[b << 8 | p[i + 1]];
            i += 2;
        } else {
            o[written++] = t.single[b];
            ++i;
        }
    }
    out.truncate(written);
    return out;
}

QByteArray encode(QStringView text)
{
    const Tables &t = tables();
    QByteArray out;
    out.reserve(text.size() * 2);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i; // one character outside the BMP, one "?"
            out.append(kNotHeld);
            continue;
        }
        if (u == 0) {
            out.append('\0');
            continue;
        }
        const quint16 code = t.reverse[u];
        if (code == 0)
            out.append(kNotHeld);
        else if (code < 0x100)
            out.append(static_cast<char>(code));
        else {
            out.append(static_cast<char>(code >> 8));
            out.append(static_cast<char>(code & 0xFF));
        }
    }
    return out;
}

qsizetype safePrefixLength(QByteArrayView bytes, qsizetype maxBytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = qMin(bytes.size(), qMax<qsizetype>(maxBytes, 0));
    qsizetype i = 0;
    while (i < n) {
        // The same units decode() reads, so a cut never splits a character.
        const qsizetype unit = (isLead(p[i]) && i + 1 < bytes.size() && p[i + 1] != 0) ? 2 : 1;
        if (i + unit > n)
            break;
        i += unit;
    }
    return i;
}

} // namespace Cp932
