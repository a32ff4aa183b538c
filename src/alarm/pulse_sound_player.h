#pragma once

#include "sound_player.h"

#include <QObject>
#include <QString>

#include <atomic>
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
// a Bluetooth headset), plays the next sound.
class PulseSoundPlayer : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit PulseSoundPlayer(QObject *parent = nullptr);
    // Stops a sound that is playing.
    ~PulseSoundPlayer() override;

    void play(const QString &path) override;

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
    void playOnThread(const QString &file);
    void finished(Outcome outcome, const QString &detail);

    std::thread m_thread;
    std::atomic<bool> m_busy { false };
    std::atomic<bool> m_stop { false };
    QString m_file;
    Output m_output = Output::Unknown;
};
