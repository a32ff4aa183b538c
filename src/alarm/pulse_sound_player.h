#pragma once

#include "sound_player.h"

#include <QObject>
#include <QString>

#include <QElapsedTimer>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// WAV playback for the alert and the settings dialog's preview, straight to
// the sound server (PulseAudio, or PipeWire's pulse server). play() returns
// at once; the file is read and played on a thread of its own, to its last
// sample. A path that is not a readable file plays nothing (there is no
// fallback sound), nor does a file that is no PCM WAV. While a sound plays,
// further requests are dropped: it is neither cut off nor joined.
//
// Every sound makes a new connection to the server, so a server that comes
// up after the program, or restarts between two alerts (after a suspend, for
// a Bluetooth headset), plays the next sound. A server that is stopped (not
// gone) takes nothing and never answers, and libpulse's simple API waits on
// it for ever: a sound not done within its own length and kGiveUpMs is given
// up, its thread left to the server, and the next alert tries afresh; the
// player's end waits at most kEndWaitMs for it.
class PulseSoundPlayer : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit PulseSoundPlayer(QObject *parent = nullptr);
    // Stops a sound that is playing.
    ~PulseSoundPlayer() override;

    void play(const QString &path) override;

    static constexpr qint64 kGiveUpMs = 3000;
    static constexpr int kEndWaitMs = 1000;

    // A sound is being read or played.
    bool isBusy() const { return m_busy; }
    // The file of the sound that was started last; empty before the first.
    QString currentFile() const { return m_file; }

Q_SIGNALS:
    // The sound that was started has finished or failed; a new one may start.
    void idle();

private:
    enum class Output { Unknown, Present, Missing };
    enum class Outcome { Played, BrokenOff, NotWav, NoServer };
    // What a sound's thread shares with the player, which may give it up
    // and go on, or end, before the thread does.
    struct Playing
    {
        std::mutex mutex;
        std::condition_variable doneChanged;
        bool done = false;
        PulseSoundPlayer *owner = nullptr; // null once given up
        std::atomic<bool> stop { false };
        std::atomic<qint64> lengthMs { 0 };
        quint64 sound = 0; // which of the player's sounds
    };
    static void playOnThread(const std::shared_ptr<Playing> &playing, const QString &file);
    void finished(quint64 sound, Outcome outcome, const QString &detail);
    // Lets the sound's thread go without waiting for it any more.
    void abandon();

    std::thread m_thread;
    std::shared_ptr<Playing> m_playing;
    QElapsedTimer m_started;
    quint64 m_sounds = 0;
    std::atomic<bool> m_busy { false };
    QString m_file;
    Output m_output = Output::Unknown;
};
