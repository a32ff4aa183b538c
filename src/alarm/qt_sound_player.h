#pragma once

#include "sound_player.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QSoundEffect;

// WAV playback for the alert and the settings dialog's preview. play()
// returns at once; the file loads and plays in the background. A path that is
// not a readable file plays nothing (there is no fallback sound), and neither
// does a file the decoder refuses or a machine without an audio output. While
// a sound is loading or playing, further requests are dropped: the sound that
// is on is neither cut off nor joined by a second one.
//
// Qt 6.4's QSoundEffect can report "playing" for ever when its output fails
// (no device, a sound server that went away). A player stuck like that would
// silence every later alert, so a sound counts as playing for no longer than
// the file's own length and a second's grace.
class QtSoundPlayer : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit QtSoundPlayer(QObject *parent = nullptr);
    ~QtSoundPlayer() override;

    void play(const QString &path) override;

    // A sound is loading or playing.
    bool isBusy() const;
    // The file of the sound that was started last; empty before the first.
    QString currentFile() const { return m_file; }

    // The length of a PCM WAV file from its header; -1 when it has none.
    static qint64 wavDurationMs(const QString &path);

Q_SIGNALS:
    // The sound that was started has finished or failed; a new one may start.
    void idle();

private:
    void release();

    QPointer<QSoundEffect> m_effect;
    QString m_file;
    QElapsedTimer m_started;
    qint64 m_limitMs = 0;
};
