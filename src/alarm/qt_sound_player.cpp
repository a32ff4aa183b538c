#include "qt_sound_player.h"

#include "log.h"

#include <QAudioDevice>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <QtEndian>

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

// How long a sound may keep the player when its file says nothing usable.
constexpr qint64 kUnknownLengthMs = 10 * 60 * 1000;
constexpr qint64 kGraceMs = 1000;

} // namespace

qint64 QtSoundPlayer::wavDurationMs(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = f.read(64 * 1024);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    for (qsizetype at = 12; at + 8 <= head.size();) {
        const QByteArray id = head.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + at + 4);
        if (id == "fmt " && at + 16 <= head.size())
            byteRate = qFromLittleEndian<quint32>(head.constData() + at + 16);
        if (id == "data") {
            if (byteRate == 0)
                return -1;
            // A streamed file may give no size; the rest of the file is data then.
            const qint64 available = f.size() - (at + 8);
            const qint64 bytes = (size == 0 || size > available) ? available : size;
            return bytes * 1000 / byteRate;
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return -1;
}

QtSoundPlayer::QtSoundPlayer(QObject *parent)
    : QObject(parent)
{
}

QtSoundPlayer::~QtSoundPlayer()
{
    delete m_effect.data();
}

bool QtSoundPlayer::isBusy() const
{
    if (!m_effect)
        return false;
    const QSoundEffect::Status status = m_effect->status();
    if (status == QSoundEffect::Error || status == QSoundEffect::Null)
        return false;
    return m_effect->isPlaying() && !m_started.hasExpired(m_limitMs);
}

void QtSoundPlayer::play(const QString &path)
{
    if (isBusy()) {
        qCInfo(lcAlarm) << "sound skipped:" << m_file << "is still playing";
        return;
    }
    const QString file = existingFile(path);
    if (file.isEmpty()) {
        qCInfo(lcAlarm) << "sound skipped:" << path << "is no readable file";
        return;
    }
    if (QMediaDevices::audioOutputs().isEmpty()) {
        qCInfo(lcAlarm) << "sound skipped: this machine has no audio output";
        return;
    }

    release();
    const qint64 length = wavDurationMs(file);
    m_limitMs = (length < 0 ? kUnknownLengthMs : length) + kGraceMs;
    m_started.start();
    // A fresh effect per sound: its status and playing state then describe
    // this request only, never a leftover of the previous file.
    auto *effect = new QSoundEffect(this);
    m_effect = effect;
    m_file = file;
    connect(effect, &QSoundEffect::playingChanged, this, [this, effect] {
        if (effect == m_effect && !effect->isPlaying())
            Q_EMIT idle();
    });
    connect(effect, &QSoundEffect::statusChanged, this, [this, effect] {
        if (effect == m_effect && effect->status() == QSoundEffect::Error) {
            qCInfo(lcAlarm) << "sound failed:" << m_file << "could not be decoded or played";
            Q_EMIT idle();
        }
    });
    effect->setSource(QUrl::fromLocalFile(file));
    effect->play();
    qCInfo(lcAlarm) << "sound started:" << file << "on" << QMediaDevices::defaultAudioOutput().description();
}

void QtSoundPlayer::release()
{
    if (m_effect) {
        m_effect->disconnect(this);
        m_effect->deleteLater();
    }
    m_effect.clear();
}
