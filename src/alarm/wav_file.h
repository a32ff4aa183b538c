#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The samples of a WAV file as a sound server takes them: little-endian
// frames of one of the encodings WAV writers use.
struct WavSound
{
    enum class Encoding { U8, S16, S24, S32, Float32, ALaw, ULaw };
    Encoding encoding = Encoding::S16;
    int channels = 0;
    int rate = 0;
    QByteArray frames; // whole frames only

    qint64 durationMs() const;
};

// Reads a RIFF WAVE file; nullopt for anything else, or for an encoding no
// sound server plays. A data size of 0 or past the end (streaming writers
// leave it so) means the rest of the file.
std::optional<WavSound> readWavFile(const QString &path);
