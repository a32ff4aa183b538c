#include "wav_file.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr quint16 kPcm = 1;
constexpr quint16 kFloat = 3;
constexpr quint16 kALaw = 6;
constexpr quint16 kULaw = 7;
constexpr quint16 kExtensible = 0xFFFE;
// Far beyond any alert sound; a bigger file is not read into memory.
constexpr qint64 kMaxBytes = 512LL * 1024 * 1024;

std::optional<WavSound::Encoding> encodingOf(quint16 tag, int bits)
{
    using E = WavSound::Encoding;
    switch (tag) {
    case kPcm:
        switch (bits) {
        case 8:
            return E::U8;
        case 16:
            return E::S16;
        case 24:
            return E::S24;
        case 32:
            return E::S32;
        default:
            return std::nullopt;
        }
    case kFloat:
        return bits == 32 ? std::optional(E::Float32) : std::nullopt;
    case kALaw:
        return bits == 8 ? std::optional(E::ALaw) : std::nullopt;
    case kULaw:
        return bits == 8 ? std::optional(E::ULaw) : std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace

qint64 WavSound::durationMs() const
{
    const int width = encoding == Encoding::S16                      ? 2
        : encoding == Encoding::S24                                  ? 3
        : encoding == Encoding::S32 || encoding == Encoding::Float32 ? 4
                                                                     : 1;
    if (channels <= 0 || rate <= 0)
        return 0;
    return frames.size() / (width * channels) * 1000 / rate;
}

std::optional<WavSound> readWavFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxBytes)
        return std::nullopt;
    const QByteArray all = f.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE")
        return std::nullopt;
    const char *bytes = all.constData();

    std::optional<WavSound> sound;
    int blockAlign = 0;
    for (qsizetype at = 12; at + 8 <= all.size();) {
        const QByteArray id = all.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(bytes + at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= all.size()) {
            quint16 tag = qFromLittleEndian<quint16>(bytes + body);
            const int channels = qFromLittleEndian<quint16>(bytes + body + 2);
            const int rate = int(qMin<quint32>(qFromLittleEndian<quint32>(bytes + body + 4), 1u << 30));
            blockAlign = qFromLittleEndian<quint16>(bytes + body + 12);
            const int bits = qFromLittleEndian<quint16>(bytes + body + 14);
            // The extensible header names the real format in its first two
            // bytes of the sub-format GUID.
            if (tag == kExtensible && size >= 40 && body + 26 <= all.size())
                tag = qFromLittleEndian<quint16>(bytes + body + 24);
            const auto encoding = encodingOf(tag, bits);
            if (!encoding || channels < 1 || channels > 32 || rate < 1 || rate > 768000
                || blockAlign != channels * bits / 8)
                return std::nullopt;
            sound = WavSound { *encoding, channels, rate, {} };
        } else if (id == "data") {
            if (!sound)
                return std::nullopt;
            const qsizetype available = all.size() - body;
            const qsizetype length = (size == 0 || size > available) ? available : qsizetype(size);
            sound->frames = all.mid(body, length - length % blockAlign);
            return sound;
        }
        at = body + qsizetype(size) + (size & 1);
    }
    return std::nullopt;
}
