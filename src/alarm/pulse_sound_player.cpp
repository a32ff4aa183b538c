#include "pulse_sound_player.h"

#include "log.h"
#include "wav_file.h"

#include <QFileInfo>

#include <pulse/error.h>
#include <pulse/simple.h>

using namespace Qt::StringLiterals;

namespace {

// The settings file may come from the program's Windows days, where the
// default sound was written as folder + "\timecall.wav".
QString existingFile(const QString &path)
{
    if (path.isEmpty())
        return {};
    QFileInfo info(path);
    if (!info.isFile() && path.contains(u'\\')) {
        QString slashed = path;
        slashed.replace(u'\\', u'/');
        info = QFileInfo(slashed);
    }
    if (!info.isFile() || !info.isReadable())
        return {};
    return info.absoluteFilePath();
}

pa_sample_format_t sampleFormat(WavSound::Encoding encoding)
{
    switch (encoding) {
    case WavSound::Encoding::U8:
        return PA_SAMPLE_U8;
    case WavSound::Encoding::S16:
        return PA_SAMPLE_S16LE;
    case WavSound::Encoding::S24:
        return PA_SAMPLE_S24LE;
    case WavSound::Encoding::S32:
        return PA_SAMPLE_S32LE;
    case WavSound::Encoding::Float32:
        return PA_SAMPLE_FLOAT32LE;
    case WavSound::Encoding::ALaw:
        return PA_SAMPLE_ALAW;
    case WavSound::Encoding::ULaw:
        return PA_SAMPLE_ULAW;
    }
    return PA_SAMPLE_INVALID;
}

} // namespace

PulseSoundPlayer::PulseSoundPlayer(QObject *parent)
    : QObject(parent)
{
}

PulseSoundPlayer::~PulseSoundPlayer()
{
    if (!m_playing)
        return;
    m_playing->stop = true;
    std::unique_lock lock(m_playing->mutex);
    // A sound stops within a twentieth of a second of being told; only a
    // server that no longer answers keeps it longer.
    if (m_playing->doneChanged.wait_for(
            lock, std::chrono::milliseconds(kEndWaitMs), [this] { return m_playing->done; })) {
        lock.unlock();
        m_thread.join();
        return;
    }
    lock.unlock();
    abandon();
}

void PulseSoundPlayer::abandon()
{
    {
        const std::lock_guard lock(m_playing->mutex);
        m_playing->owner = nullptr;
    }
    m_playing->stop = true;
    m_thread.detach();
    m_playing.reset();
}

void PulseSoundPlayer::play(const QString &path)
{
    if (m_busy) {
        const qint64 limit = m_playing->lengthMs + kGiveUpMs;
        if (m_started.elapsed() < limit) {
            qCInfo(lcAlarm) << "sound skipped:" << m_file << "is still playing";
            return;
        }
        qCWarning(lcAlarm).nospace() << "the sound server took no sound within " << limit
                                     << " ms: given up, trying afresh";
        abandon();
        m_busy = false;
    }
    const QString file = existingFile(path);
    if (file.isEmpty()) {
        qCInfo(lcAlarm) << "sound skipped:" << path << "is no readable file";
        return;
    }
    // The last sound's thread has said it is done; this only collects it.
    if (m_thread.joinable())
        m_thread.join();
    m_file = file;
    m_busy = true;
    m_playing = std::make_shared<Playing>();
    m_playing->owner = this;
    m_playing->sound = ++m_sounds;
    m_started.start();
    m_thread = std::thread([playing = m_playing, file] { playOnThread(playing, file); });
    qCInfo(lcAlarm) << "sound started:" << file;
}

void PulseSoundPlayer::playOnThread(const std::shared_ptr<Playing> &playing, const QString &file)
{
    const auto report = [&playing](Outcome outcome, const QString &detail) {
        const std::lock_guard lock(playing->mutex);
        playing->done = true;
        playing->doneChanged.notify_all();
        if (PulseSoundPlayer *owner = playing->owner)
            QMetaObject::invokeMethod(
                owner,
                [owner, sound = playing->sound, outcome, detail] { owner->finished(sound, outcome, detail); },
                Qt::QueuedConnection);
    };
    const std::optional<WavSound> sound = readWavFile(file);
    if (!sound) {
        report(Outcome::NotWav, {});
        return;
    }
    playing->lengthMs = sound->durationMs();
    const pa_sample_spec sampleLayout { sampleFormat(sound->encoding), uint32_t(sound->rate),
        uint8_t(sound->channels) };
    int error = 0;
    pa_simple *stream = pa_simple_new(
        nullptr, "Larkvane", PA_STREAM_PLAYBACK, nullptr, "alert", &sampleLayout, nullptr, nullptr, &error);
    if (!stream) {
        report(Outcome::NoServer, QString::fromUtf8(pa_strerror(error)));
        return;
    }
    // Small pieces, so that the program can end while a long file plays.
    const qsizetype frameBytes = qsizetype(pa_frame_size(&sampleLayout));
    const qsizetype piece = qMax<qsizetype>(frameBytes, sound->rate / 20 * frameBytes);
    QString problem;
    for (qsizetype at = 0; at < sound->frames.size() && !playing->stop; at += piece) {
        const qsizetype n = qMin(piece, sound->frames.size() - at);
        if (pa_simple_write(stream, sound->frames.constData() + at, size_t(n), &error) < 0) {
            problem = QString::fromUtf8(pa_strerror(error));
            break;
        }
    }
    // Until the server has played the last sample: closing earlier cuts the
    // end off what is still buffered.
    if (problem.isEmpty() && !playing->stop && pa_simple_drain(stream, &error) < 0)
        problem = QString::fromUtf8(pa_strerror(error));
    if (playing->stop)
        pa_simple_flush(stream, nullptr);
    pa_simple_free(stream);
    report(problem.isEmpty() ? Outcome::Played : Outcome::BrokenOff, problem);
}

void PulseSoundPlayer::finished(quint64 sound, Outcome outcome, const QString &detail)
{
    // The word of a sound given up, which came after all, is no news of the
    // one playing now.
    if (!m_playing || sound != m_playing->sound)
        return;
    if (outcome == Outcome::NoServer) {
        if (m_output != Output::Missing)
            qCWarning(lcAlarm).nospace().noquote()
                << "no sound output (" << detail << "): alerts stay silent until a sound server is up";
        m_output = Output::Missing;
    } else if (outcome != Outcome::NotWav) {
        if (m_output == Output::Missing)
            qCInfo(lcAlarm) << "sound output is back";
        m_output = Output::Present;
    }
    switch (outcome) {
    case Outcome::Played:
        qCInfo(lcAlarm) << "sound played to its end:" << m_file;
        break;
    case Outcome::BrokenOff:
        qCInfo(lcAlarm) << "sound broken off:" << m_file << detail;
        break;
    case Outcome::NotWav:
        qCInfo(lcAlarm) << "sound skipped:" << m_file << "is no WAV file of a kind that plays";
        break;
    case Outcome::NoServer:
        qCInfo(lcAlarm) << "sound skipped:" << m_file << "had nowhere to play";
        break;
    }
    m_busy = false;
    Q_EMIT idle();
}
