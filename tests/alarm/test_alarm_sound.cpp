// WAV playback on a real sound server: a private PulseAudio with a null sink,
// started, stopped and restarted here when the machine has one installed.
// What reaches the sink is recorded from its monitor.

#include "pulse_sound_player.h"
#include "wav_file.h"

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <pulse/simple.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRate = 22050;

// Records the null sink's monitor until stopped; what it heard is the span
// from the first to the last sample that is not silence. The monitor of a
// null sink that was idle loses about as much of a sound's start as its
// fragments are long, so they are kept very short.
class SinkRecorder
{
public:
    SinkRecorder()
    {
        m_thread = std::thread([this] {
            const pa_sample_spec sampleLayout { PA_SAMPLE_S16LE, kRate, 1 };
            const pa_buffer_attr attr { uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1),
                kRate / 500 * 2 };
            pa_simple *in = pa_simple_new(nullptr, "test", PA_STREAM_RECORD, "null.monitor", "monitor",
                &sampleLayout, nullptr, &attr, nullptr);
            m_ready = true;
            if (!in)
                return;
            qint16 buffer[kRate / 500];
            for (qint64 at = 0; !m_stop; at += std::size(buffer)) {
                if (pa_simple_read(in, buffer, sizeof buffer, nullptr) < 0)
                    break;
                for (size_t i = 0; i < std::size(buffer); ++i) {
                    if (std::abs(buffer[i]) > 200) {
                        if (m_first < 0)
                            m_first = at + qint64(i);
                        m_last = at + qint64(i);
                    }
                }
            }
            pa_simple_free(in);
        });
        while (!m_ready)
            std::this_thread::yield();
        QTest::qWait(100);
    }
    qint64 stopAndMeasureMs()
    {
        m_stop = true;
        m_thread.join();
        return m_first < 0 ? 0 : (m_last - m_first + 1) * 1000 / kRate;
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_ready { false };
    std::atomic<bool> m_stop { false };
    qint64 m_first = -1;
    qint64 m_last = -1;
};

} // namespace

class TestAlarmSound : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void play_data();
    void play();
    void reachesSink_data();
    void reachesSink();
    void playingSoundIsNotInterrupted();
    void aStoppedServerHoldsNeitherTheNextAlertNorTheEnd();
    void readWav_data();
    void readWav();

private:
    QString file(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // A mono tone of the given length; optionally with a chunk before the
    // data and no data size, as streaming writers leave it.
    void writeWav(const QString &name, int ms, int bits = 16, bool oddLayout = false) const
    {
        const qint32 bytes = kRate * ms / 1000 * (bits / 8);
        QByteArray out;
        QDataStream s(&out, QIODevice::WriteOnly);
        s.setByteOrder(QDataStream::LittleEndian);
        s.writeRawData("RIFF", 4), s << qint32(36 + bytes), s.writeRawData("WAVEfmt ", 8);
        s << qint32(16) << qint16(bits == 32 ? 3 : 1) << qint16(1) << kRate << qint32(kRate * bits / 8)
          << qint16(bits / 8) << qint16(bits);
        if (oddLayout)
            s.writeRawData("LIST", 4), s << qint32(3), s.writeRawData("abc\0", 4);
        s.writeRawData("data", 4), s << (oddLayout ? 0 : bytes);
        for (int i = 0; i < bytes / (bits / 8); ++i) {
            const double v = std::sin(i * 0.25) * 0.25;
            if (bits == 8)
                s << quint8(128 + 127 * v);
            else if (bits == 32)
                s << float(v);
            else
                s << qint16(32767 * v);
        }
        write(name, out);
    }
    bool startServer();
    void stopServer();
    // Plays and waits for the player to be done; what the sink heard, in ms.
    qint64 playAndRecord(PulseSoundPlayer &player, const QString &name);

    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_pulse;
};

bool TestAlarmSound::startServer()
{
    const QString socket = file(u"native"_s);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, m_dir.path());
    env.insert(u"PULSE_RUNTIME_PATH"_s, file(u"runtime"_s));
    m_server.setProcessEnvironment(env);
    m_server.start(m_pulse,
        { u"-n"_s, u"-F"_s, file(u"pulse.pa"_s), u"--daemonize=no"_s, u"--exit-idle-time=-1"_s,
            u"--use-pid-file=no"_s, u"--log-level=error"_s });
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(socket) && m_server.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    return QFile::exists(socket);
}

void TestAlarmSound::stopServer()
{
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
    QFile::remove(file(u"native"_s));
}

void TestAlarmSound::initTestCase()
{
    writeWav(u"long.wav"_s, 1000);
    writeWav(u"short.wav"_s, 200);
    writeWav(u"tone.wav"_s, 500);
    write(u"text.wav"_s, "this is not a sound\n");
    QVERIFY(QDir(m_dir.path()).mkdir(u"folder.wav"_s));

    m_pulse = QStandardPaths::findExecutable(u"pulseaudio"_s);
    if (m_pulse.isEmpty())
        return;
    write(u"pulse.pa"_s,
        "load-module module-null-sink\nload-module module-native-protocol-unix auth-anonymous=1 socket="
            + file(u"native"_s).toLocal8Bit() + "\n");
    // Set even while no server runs: without it a missing server would be
    // looked for, or spawned, in the user's own session.
    qputenv("PULSE_SERVER", "unix:" + file(u"native"_s).toLocal8Bit());
    if (!startServer())
        m_pulse.clear();
}

void TestAlarmSound::cleanupTestCase()
{
    stopServer();
}

qint64 TestAlarmSound::playAndRecord(PulseSoundPlayer &player, const QString &name)
{
    SinkRecorder recorder;
    QSignalSpy idle(&player, &PulseSoundPlayer::idle);
    player.play(file(name));
    idle.wait(10000);
    QTest::qWait(200); // the monitor lags the sink a little
    return recorder.stopAndMeasureMs();
}

void TestAlarmSound::play_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("started"); // the file handed to the reader

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

    PulseSoundPlayer player;
    player.play(path.isEmpty() ? path : path.startsWith(u'\\') ? m_dir.path() + path : file(path));
    QCOMPARE(player.currentFile(), started.isEmpty() ? started : file(started));
    QTRY_VERIFY_WITH_TIMEOUT(!player.isBusy(), 5000); // nothing is left holding the player
}

void TestAlarmSound::reachesSink_data()
{
    QTest::addColumn<bool>("restartBefore"); // the server goes away and comes back before the alert
    QTest::addColumn<bool>("downAtFirst"); // an alert finds no server, the next one finds it up
    QTest::newRow("a 500 ms tone whole") << false << false;
    QTest::newRow("server restarted between two alerts") << true << false;
    QTest::newRow("server started after the first alert") << false << true;
}

void TestAlarmSound::reachesSink()
{
    QFETCH(bool, restartBefore);
    QFETCH(bool, downAtFirst);
    if (m_pulse.isEmpty())
        QSKIP("no PulseAudio (install pulseaudio to run this)");

    PulseSoundPlayer player;
    if (restartBefore) {
        QVERIFY(playAndRecord(player, u"short.wav"_s) > 0);
        stopServer();
        QVERIFY(startServer());
    }
    if (downAtFirst) {
        stopServer();
        QSignalSpy idle(&player, &PulseSoundPlayer::idle);
        player.play(file(u"short.wav"_s));
        QVERIFY(idle.wait(5000));
        QVERIFY(startServer());
    }
    const qint64 heard = playAndRecord(player, u"tone.wav"_s);
    QVERIFY2(heard >= 480 && heard <= 600, qPrintable(QString::number(heard)));
}

void TestAlarmSound::playingSoundIsNotInterrupted()
{
    if (m_pulse.isEmpty())
        QSKIP("no PulseAudio (install pulseaudio to run this)");

    PulseSoundPlayer player;
    QSignalSpy idle(&player, &PulseSoundPlayer::idle);
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

// A server stopped (SIGSTOP), not gone, takes no sound and never answers.
void TestAlarmSound::aStoppedServerHoldsNeitherTheNextAlertNorTheEnd()
{
    if (m_pulse.isEmpty())
        QSKIP("no PulseAudio (install pulseaudio to run this)");
    const auto resume = qScopeGuard([this] { ::kill(pid_t(m_server.processId()), SIGCONT); });
    QCOMPARE(::kill(pid_t(m_server.processId()), SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    {
        auto player = std::make_unique<PulseSoundPlayer>();
        player->play(file(u"short.wav"_s));
        QTest::qWait(500);
        player->play(file(u"tone.wav"_s));
        QCOMPARE(player->currentFile(), file(u"short.wav"_s)); // within its time: still its own
        QTest::qWait(int(200 + PulseSoundPlayer::kGiveUpMs));
        player->play(file(u"tone.wav"_s));
        QCOMPARE(player->currentFile(), file(u"tone.wav"_s)); // given up, tried afresh
        clock.restart();
        player.reset();
    }
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

void TestAlarmSound::readWav_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("ms"); // -1: not read
    writeWav(u"8bit.wav"_s, 300, 8);
    writeWav(u"float.wav"_s, 300, 32);
    writeWav(u"odd.wav"_s, 500, 16, true);
    QFile::copy(file(u"tone.wav"_s), file(u"cut.wav"_s));
    QFile(file(u"cut.wav"_s)).resize(44 + 3001); // cut inside a frame
    QTest::newRow("16 bit, 500 ms") << u"tone.wav"_s << qint64(500);
    QTest::newRow("8 bit") << u"8bit.wav"_s << qint64(300);
    QTest::newRow("32 bit float") << u"float.wav"_s << qint64(300);
    QTest::newRow("a chunk before the data, no data size") << u"odd.wav"_s << qint64(500);
    QTest::newRow("cut short inside a frame") << u"cut.wav"_s << qint64(3000 / 2 * 1000 / kRate);
    QTest::newRow("not a WAV") << u"text.wav"_s << qint64(-1);
    QTest::newRow("missing") << u"missing.wav"_s << qint64(-1);
}

void TestAlarmSound::readWav()
{
    QFETCH(QString, name);
    QFETCH(qint64, ms);
    const std::optional<WavSound> sound = readWavFile(file(name));
    QCOMPARE(sound ? sound->durationMs() : -1, ms);
}

QTEST_GUILESS_MAIN(TestAlarmSound)
#include "test_alarm_sound.moc"
