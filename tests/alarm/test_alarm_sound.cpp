// WAV playback on a real audio output: a private PulseAudio server with a
// null sink, started here when the machine has one installed.

#include "qt_sound_player.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace Qt::StringLiterals;

class TestAlarmSound : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void play_data();
    void play();
    void playingSoundIsNotInterrupted();
    void wavDuration_data();
    void wavDuration();

private:
    QString file(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // A mono 16-bit PCM tone of the given length; optionally with a chunk
    // before the data and no data size, as streaming writers leave it.
    void writeWav(const QString &name, int ms, bool oddLayout = false) const
    {
        const qint32 rate = 22050, bytes = rate * ms / 1000 * 2;
        QByteArray out;
        QDataStream s(&out, QIODevice::WriteOnly);
        s.setByteOrder(QDataStream::LittleEndian);
        s.writeRawData("RIFF", 4), s << qint32(36 + bytes), s.writeRawData("WAVEfmt ", 8);
        s << qint32(16) << qint16(1) << qint16(1) << rate << qint32(rate * 2) << qint16(2) << qint16(16);
        if (oddLayout)
            s.writeRawData("LIST", 4), s << qint32(3), s.writeRawData("abc\0", 4);
        s.writeRawData("data", 4), s << (oddLayout ? 0 : bytes);
        for (int i = 0; i < bytes / 2; ++i)
            s << qint16(8000 * std::sin(i * 0.25));
        write(name, out);
    }

    QTemporaryDir m_dir;
    QProcess m_server;
};

void TestAlarmSound::initTestCase()
{
    writeWav(u"long.wav"_s, 1000);
    writeWav(u"short.wav"_s, 200);
    writeWav(u"odd.wav"_s, 500, true);
    write(u"text.wav"_s, "this is not a sound\n");
    QVERIFY(QDir(m_dir.path()).mkdir(u"folder.wav"_s));

    const QString pulse = QStandardPaths::findExecutable(u"pulseaudio"_s);
    if (pulse.isEmpty())
        return;
    const QByteArray socket = file(u"native"_s).toLocal8Bit();
    write(u"pulse.pa"_s,
        "load-module module-null-sink\nload-module module-native-protocol-unix auth-anonymous=1 socket="
            + socket + "\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, m_dir.path());
    env.insert(u"PULSE_RUNTIME_PATH"_s, file(u"runtime"_s));
    m_server.setProcessEnvironment(env);
    m_server.start(pulse,
        { u"-n"_s, u"-F"_s, file(u"pulse.pa"_s), u"--daemonize=no"_s, u"--exit-idle-time=-1"_s,
            u"--use-pid-file=no"_s, u"--log-level=error"_s });
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(QString::fromLocal8Bit(socket)) || m_server.state() == QProcess::NotRunning, 10000);
    qputenv("PULSE_SERVER", "unix:" + socket); // before Qt Multimedia first connects
}

void TestAlarmSound::cleanupTestCase()
{
    m_server.terminate();
    m_server.waitForFinished(5000);
}

void TestAlarmSound::play_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("started"); // the file handed to the decoder

    QTest::newRow("missing file") << u"missing.wav"_s << u""_s;
    QTest::newRow("empty path") << u""_s << u""_s;
    QTest::newRow("a folder") << u"folder.wav"_s << u""_s;
    QTest::newRow("not a WAV, plays nothing") << u"text.wav"_s << u"text.wav"_s;
    QTest::newRow("Windows-era \\ before the name") << u"\\short.wav"_s << u"short.wav"_s;
}

void TestAlarmSound::play()
{
    QFETCH(QString, path);
    QFETCH(QString, started);

    // Without an audio output nothing is even started.
    if (QMediaDevices::audioOutputs().isEmpty())
        started.clear();
    QtSoundPlayer player;
    if (started == u"text.wav"_s)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"QSoundEffect.*"_s));
    player.play(path.isEmpty() ? path : path.startsWith(u'\\') ? m_dir.path() + path : file(path));
    QCOMPARE(player.currentFile(), started.isEmpty() ? started : file(started));
    QTRY_VERIFY_WITH_TIMEOUT(!player.isBusy(), 5000); // nothing is left holding the player
}

void TestAlarmSound::playingSoundIsNotInterrupted()
{
    if (QMediaDevices::audioOutputs().isEmpty())
        QSKIP("no audio output (install pulseaudio to run this)");

    QtSoundPlayer player;
    QSignalSpy idle(&player, &QtSoundPlayer::idle);
    QElapsedTimer clock;
    clock.start();
    player.play(file(u"long.wav"_s));
    // A second alert in the same second, and one while the first sounds.
    player.play(file(u"short.wav"_s));
    QTest::qWait(300);
    QVERIFY(player.isBusy());
    player.play(file(u"short.wav"_s));
    QCOMPARE(player.currentFile(), file(u"long.wav"_s));

    QVERIFY(idle.wait(5000));
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed()))); // played to its end
    QCOMPARE(idle.count(), 1);
    player.play(file(u"short.wav"_s));
    QCOMPARE(player.currentFile(), file(u"short.wav"_s));
    QVERIFY(player.isBusy());
}

void TestAlarmSound::wavDuration_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("ms");
    QTest::newRow("1 s") << u"long.wav"_s << qint64(1000);
    QTest::newRow("a chunk before the data, no data size") << u"odd.wav"_s << qint64(500);
    QTest::newRow("not a WAV") << u"text.wav"_s << qint64(-1);
    QTest::newRow("missing") << u"missing.wav"_s << qint64(-1);
}

void TestAlarmSound::wavDuration()
{
    QFETCH(QString, name);
    QFETCH(qint64, ms);
    QCOMPARE(QtSoundPlayer::wavDurationMs(file(name)), ms);
}

QTEST_GUILESS_MAIN(TestAlarmSound)
#include "test_alarm_sound.moc"
