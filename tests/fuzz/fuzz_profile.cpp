// The profile file: any bytes read, and one write changes the one value it
// names and nothing else that can be read.

#include "cp932_codec.h"
#include "fuzz_check.h"
#include "profile_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

using namespace Qt::StringLiterals;

namespace {

// Names as settings files spell them, with the double-byte characters whose
// second byte is "[", "\", "]" or "@", and different case.
const QStringList kNamePieces = { u"pref"_s, u"PREF"_s, u"Bmark"_s, u"x_pos"_s, u"data1"_s, u"DATA1"_s,
    u"a"_s, u"ソ"_s, u"ー"_s, u"構"_s, u"表"_s, u"ﾀ"_s, u"ａ"_s, u"Ａ"_s, u"."_s, u"-"_s, u"7"_s };

QString name(FuzzedDataProvider &in)
{
    QString n;
    const int pieces = in.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < pieces; ++i)
        n += kNamePieces.at(in.ConsumeIntegralInRange<qsizetype>(0, kNamePieces.size() - 1));
    return n;
}

QByteArray take(FuzzedDataProvider &in, size_t most)
{
    const std::string s = in.ConsumeRandomLengthString(most);
    return QByteArray(s.data(), qsizetype(s.size()));
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\x1A';
}

// A value that reads back exactly as written: nothing the reader trims,
// cuts or unquotes, and only characters the file's code page holds.
bool readsBackAsWritten(const QString &value)
{
    if (value.contains(QChar(0)) || value.contains(u'\r') || value.contains(u'\n'))
        return false;
    if (!value.isEmpty() && (isBlank(value.front()) || isBlank(value.back())))
        return false;
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        return false;
    return Cp932::decode(Cp932::encode(value)) == value;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0 || a.toCaseFolded() == b.toCaseFolded();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString section = name(in);
    const QString key = name(in);
    const QString otherSection = name(in);
    const QString otherKey = name(in);
    const int bufferSize = in.ConsumeIntegralInRange(-1, 300);
    const QString value = Cp932::decode(take(in, 400));
    const std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();
    const QByteArray contents(reinterpret_cast<const char *>(rest.data()), qsizetype(rest.size()));

    const int whole = 1 << 20;
    // What a buffer counts: bytes of code page 932, in a UTF-8 file too.
    const ProfileText parsed(contents);
    const auto counted = [&parsed](const QByteArray &bytes) {
        return parsed.isUtf8() ? Cp932::encode(parsed.decode(bytes)).size() : bytes.size();
    };
    // A short buffer gets the start of the value, never half a character.
    const QByteArray full = ProfileFile::readFrom(contents, section, key, whole);
    const QByteArray cut = ProfileFile::readFrom(contents, section, key, bufferSize);
    FUZZ_CHECK(full.startsWith(cut));
    FUZZ_CHECK(counted(cut) <= qMax(bufferSize - 1, 0));
    if (cut.size() < full.size())
        FUZZ_CHECK(counted(cut) >= bufferSize - 2);
    FUZZ_CHECK(parsed.decode(full).startsWith(parsed.decode(cut)));

    const QByteArray written = ProfileFile::applyWrite(contents, section, key, value);
    if (readsBackAsWritten(value))
        FUZZ_CHECK(ProfileFile::readFrom(written, section, key, whole) == parsed.encode(value));
    // The same write again finds the file as it leaves it.
    FUZZ_CHECK(ProfileFile::applyWrite(written, section, key, value) == written);
    if (!sameName(section, otherSection) || !sameName(key, otherKey)) {
        FUZZ_CHECK(ProfileFile::readFrom(written, otherSection, otherKey, whole)
            == ProfileFile::readFrom(contents, otherSection, otherKey, whole));
    }
    return 0;
}
