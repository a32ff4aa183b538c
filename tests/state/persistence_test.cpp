#include "cp932_codec.h"
#include "file_faults.h"
#include "persistence.h"
#include "state_store.h"
#include "temp_work_dir.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ProfileFile::Failure)

namespace {

// Slots as whoever owns them would hand them to a save.
struct SlotTable final : SlotSource
{
    Persistence::Slots records;
    SlotRecord slotRecord(int n) const override { return records[n - 1]; }
};

Persistence::Slots restoreFrom(const TempWorkDir &dir, StateStore &store, const QByteArray &file)
{
    dir.write(u"larkvane.ini"_s, file);
    return Persistence(store, dir.path()).restore();
}

void fillKnownStore(StateStore &s, SlotTable &slots)
{
    slots.records[1] = { u"腕時計 ジャンク"_s, u"26/12/01 20:00"_s, u"26/12/10 21:05"_s,
        u"https://page.example.jp/auction/x123"_s, QString(), u"12500"_s, u"6"_s };
    slots.records[6]
        = { u"カメラ"_s, u"N/A"_s, u"26/12/09 23:30"_s, u"http://www.bidders.example/item/99"_s, u"120"_s };
    // Left in a free slot: saved empty all the same.
    slots.records[4] = { QString(), QString(), u"26/12/09 10:00"_s, QString(), QString() };
    const QList<std::pair<QString, QString>> fields = {
        { u"infotime"_s, u"60"_s },
        { u"x_pos"_s, u"1200"_s },
        { u"y_pos"_s, u"900"_s },
        { u"w_width"_s, u"12000"_s },
        { u"w_height"_s, u"9000"_s },
        { u"chk1"_s, u"0"_s },
        { u"tbar1"_s, u"1"_s },
        { u"tbar2"_s, u"0"_s },
        { u"tbar2mode"_s, u"2"_s },
        { u"frmMes_pos_top"_s, u"3000"_s },
        { u"frmMes_pos_left"_s, u"4500"_s },
        { u"wavfile"_s, u"/home/u/timecall.wav"_s },
    };
    for (const auto &[name, text] : fields)
        s.setValue(name, text);
}

// The keys of free slots first to last.
QByteArray freeSlots(int first, int last)
{
    QByteArray lines;
    for (int n = first; n <= last; ++n)
        for (const char *key : { "data", "start", "end", "URL", "retime", "price", "bids" })
            lines += key + QByteArray::number(n) + "=\r\n";
    return lines;
}

const QByteArray kKnownFile
    = "[pref]\r\nINI=60\r\nx_pos=1200\r\ny_pos=900\r\nwidth=12000\r\nheight=9000\r\n"
      "check=0\r\ntbar1=1\r\ntbar2=0\r\ntbar2mode=2\r\nMes_pos1=3000\r\nMes_pos2=4500\r\nremind=\r\n"
      "[Sound_File]\r\nwave=/home/u/timecall.wav\r\n"
      "[Auction_File]\r\n"
      "data1=\r\nstart1=\r\nend1=\r\nURL1=\r\nretime1=\r\nprice1=\r\nbids1=\r\n"
      "data2=\x98\x72\x8e\x9e\x8c\x76 \x83\x57\x83\x83\x83\x93\x83\x4e\r\n"
      "start2=26/12/01 20:00\r\nend2=26/12/10 21:05\r\n"
      "URL2=https://page.example.jp/auction/x123\r\nretime2=\r\nprice2=12500\r\nbids2=6\r\n"
      "data3=\r\nstart3=\r\nend3=\r\nURL3=\r\nretime3=\r\nprice3=\r\nbids3=\r\n"
      "data4=\r\nstart4=\r\nend4=\r\nURL4=\r\nretime4=\r\nprice4=\r\nbids4=\r\n"
      "data5=\r\nstart5=\r\nend5=\r\nURL5=\r\nretime5=\r\nprice5=\r\nbids5=\r\n"
      "data6=\r\nstart6=\r\nend6=\r\nURL6=\r\nretime6=\r\nprice6=\r\nbids6=\r\n"
      "data7=\x83\x4a\x83\x81\x83\x89\r\nstart7=N/A\r\nend7=26/12/09 23:30\r\n"
      "URL7=http://www.bidders.example/item/99\r\nretime7=120\r\nprice7=\r\nbids7=\r\n"
      "data8=\r\nstart8=\r\nend8=\r\nURL8=\r\nretime8=\r\nprice8=\r\nbids8=\r\n"
      "data9=\r\nstart9=\r\nend9=\r\nURL9=\r\nretime9=\r\nprice9=\r\nbids9=\r\n"
      "data10=\r\nstart10=\r\nend10=\r\nURL10=\r\nretime10=\r\nprice10=\r\nbids10=\r\n";

} // namespace

class PersistenceTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void restoresDefaultsWithoutAFile()
    {
        TempWorkDir dir;
        StateStore store;
        Persistence p(store, dir.path());
        QCOMPARE(p.iniPath(), dir.path() + u"/larkvane.ini"_s);
        const Persistence::Slots slots = p.restore();
        const QList<std::pair<QString, QString>> expected = {
            { u"boot_dir"_s, dir.path() },
            { u"infotime"_s, QString() },
            { u"x_pos"_s, u"100"_s },
            { u"y_pos"_s, u"100"_s },
            { u"w_width"_s, u"10000"_s },
            { u"w_height"_s, u"8000"_s },
            { u"chk1"_s, u"0"_s },
            { u"tbar1"_s, QString() },
            { u"tbar2"_s, QString() },
            { u"tbar2mode"_s, QString() },
            { u"frmMes_pos_top"_s, QString() },
            { u"wavfile"_s, dir.path() + u"/timecall.wav"_s },
        };
        for (const auto &[field, text] : expected)
            QVERIFY2(store.value(field) == text, qPrintable(field));
        for (const SlotRecord &r : slots)
            QVERIFY(r.isFree());
        QVERIFY(!QFile::exists(p.iniPath())); // restoring never creates the file
    }

    void restoresSettingsWithFloors_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QByteArray &line, const QString &field, const QString &v,
                             const QByteArray &section = "pref") {
            QTest::newRow(name) << "[" + section + "]\r\n" + line + "\r\n" << field << v;
        };
        row("lead as written", "INI=abc", u"infotime"_s, u"abc"_s);
        row("x negative", "x_pos=-1500", u"x_pos"_s, u"100"_s);
        row("x 99.5", "x_pos=99.5", u"x_pos"_s, u"100"_s);
        row("x 100 stays", "x_pos=100", u"x_pos"_s, u"100"_s);
        row("x not a number", "x_pos=left", u"x_pos"_s, u"100"_s);
        row("x number then text kept", "x_pos=150px", u"x_pos"_s, u"150px"_s);
        row("y 99", "y_pos=99", u"y_pos"_s, u"100"_s);
        row("width 2999", "width=2999", u"w_width"_s, u"10000"_s);
        row("width 3000 stays", "width=3000", u"w_width"_s, u"3000"_s);
        row("height 2999", "height=2999", u"w_height"_s, u"8000"_s);
        row("height 3000 stays", "height=3000", u"w_height"_s, u"3000"_s);
        row("check 1", "check= 1 ", u"chk1"_s, u"1"_s);
        row("check yes", "check=yes", u"chk1"_s, u"0"_s);
        row("check 01", "check=01", u"chk1"_s, u"0"_s);
        row("corner unchecked", "tbar2mode=9", u"tbar2mode"_s, u"9"_s);
        row("alert top from Mes_pos1", "Mes_pos1=-200", u"frmMes_pos_top"_s, u"-200"_s);
        row("alert left from Mes_pos2", "Mes_pos2=7000", u"frmMes_pos_left"_s, u"7000"_s);
        row("sound", "wave=/snd/\x83\x4a.wav", u"wavfile"_s, u"/snd/カ.wav"_s, "Sound_File");
        row("names any case", "WIDTH=5000", u"w_width"_s, u"5000"_s, "PREF");
    }
    void restoresSettingsWithFloors()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        TempWorkDir dir;
        StateStore store;
        restoreFrom(dir, store, file);
        QCOMPARE(store.value(field), expected);
    }

    void freeSlotIgnoresItsOtherKeys()
    {
        TempWorkDir dir;
        StateStore store;
        const Persistence::Slots slots = restoreFrom(dir, store,
            "[Auction_File]\r\ndata4=\r\nend4=26/12/09 10:00\r\nURL4=http://x/\r\n"
            "data3=item\r\nstart3=N/A\r\nend3=26/12/9  10:00\r\nURL3=http://x/\r\nretime3=60\r\n");
        QCOMPARE(slots[3], SlotRecord());
        // Kept as written, whatever it says: the timer reads it.
        QCOMPARE(
            slots[2], (SlotRecord { u"item"_s, u"N/A"_s, u"26/12/9  10:00"_s, u"http://x/"_s, u"60"_s }));
    }

    void longTitleIsCutTo255Bytes()
    {
        TempWorkDir dir;
        StateStore store;
        const Persistence::Slots slots = restoreFrom(dir, store,
            "[Auction_File]\r\ndata1=x" + Cp932::encode(QString(200, u'あ')) + "\r\nend1=26/12/09 10:00\r\n");
        QCOMPARE(slots[0].title, u"x"_s + QString(127, u'あ'));
    }

    // A value is written no longer than it will be read, in either encoding.
    void longValuesAreWrittenAsTheyWillBeRead()
    {
        for (const QByteArray &mark : { QByteArray(), QByteArray("\xEF\xBB\xBF") }) {
            TempWorkDir dir;
            dir.write(u"larkvane.ini"_s, mark + "[pref]\r\n");
            StateStore store;
            Persistence p(store, dir.path());
            SlotTable slots;
            slots.records = p.restore();
            slots.records[0] = { u"x"_s + QString(100000, u'あ'), u"N/A"_s, u"26/12/09 10:00"_s,
                u"http://x/"_s + QString(300, u'w'), QString() };
            p.setSlotSource(&slots);
            QVERIFY(p.save());
            const QByteArray saved = dir.read(u"larkvane.ini"_s);
            QVERIFY2(saved.size() < 4000, QByteArray::number(saved.size()).constData());
            StateStore again;
            const Persistence::Slots back = restoreFrom(dir, again, saved);
            QCOMPARE(back[0].title, u"x"_s + QString(127, u'あ'));
            QCOMPARE(back[0].url, u"http://x/"_s + QString(246, u'w'));
        }
    }

    // As a Windows editor saves it: UTF-8 behind its byte order mark.
    void utf8FileKeepsItsEncoding()
    {
        TempWorkDir dir;
        const QByteArray mark = "\xEF\xBB\xBF";
        const QString title = u"腕時計 ✨ ジャンク"_s; // the sparkle has no code page 932 form
        StateStore store;
        SlotTable slots;
        slots.records = restoreFrom(dir, store,
            mark + "[pref]\r\nINI=60\r\ncheck=1\r\n[Auction_File]\r\ndata1=" + title.toUtf8()
                + "\r\nend1=26/12/09 10:00\r\n");
        QCOMPARE(store.value(u"infotime"_s), u"60"_s);
        QCOMPARE(store.value(u"chk1"_s), u"1"_s);
        QCOMPARE(slots.records[0].title, title);

        slots.records[1].title = u"カメラ"_s;
        Persistence p(store, dir.path());
        p.setSlotSource(&slots);
        QVERIFY(p.save());
        const QByteArray saved = dir.read(u"larkvane.ini"_s);
        QVERIFY(saved.startsWith(QByteArray(mark + "[pref]\r\nINI=60\r\n")));
        QVERIFY(saved.contains(QByteArray("data1=" + title.toUtf8() + "\r\n")));
        QVERIFY(saved.contains(u"data2=カメラ\r\n"_s.toUtf8()));
        StateStore again;
        const Persistence::Slots back = restoreFrom(dir, again, saved);
        QCOMPARE(back[0].title, title);
        QCOMPARE(back[1].title, u"カメラ"_s);
    }

    void restoreSurvivesFilesThatAreNoIni_data()
    {
        QTest::addColumn<QByteArray>("file");
        QByteArray binary(1 << 20, Qt::Uninitialized);
        QRandomGenerator(2026).fillRange(reinterpret_cast<quint32 *>(binary.data()), binary.size() / 4);
        QTest::newRow("random bytes") << binary;
        QTest::newRow("10 MB, one line") << QByteArray(10 << 20, 'x');
        QTest::newRow("NUL inside our keys") << QByteArray("[pref]\r\nx_pos=\0\0\r\nwidth=\0"
                                                           "9000\r\n",
            31);
        QTest::newRow("cut inside a slot") << QByteArray("[Auction_File]\r\ndata1=abc\r\nstart1=26/1");
        QTest::newRow("10 MB of slot sections")
            << QByteArray("[Auction_File]\r\ndata1=\r\n").repeated(400000);
    }
    void restoreSurvivesFilesThatAreNoIni()
    {
        QFETCH(QByteArray, file);
        TempWorkDir dir;
        StateStore store;
        restoreFrom(dir, store, file);
        QCOMPARE(
            store.value(u"x_pos"_s) + store.value(u"w_width"_s) + store.value(u"chk1"_s), u"100100000"_s);
        // The next save still makes a file that reads back.
        SlotTable slots;
        fillKnownStore(store, slots);
        Persistence p(store, dir.path());
        p.setSlotSource(&slots);
        QVERIFY(p.save());
        StateStore again;
        QCOMPARE(Persistence(again, dir.path()).restore()[6].title, u"カメラ"_s);
        QCOMPARE(again.value(u"x_pos"_s), u"1200"_s);
    }

    void savesExactBytesIntoAnEmptyFolder()
    {
        TempWorkDir dir;
        StateStore store;
        SlotTable slots;
        fillKnownStore(store, slots);
        Persistence p(store, dir.path());
        p.setSlotSource(&slots);
        QVERIFY(p.save());
        QCOMPARE(dir.read(u"larkvane.ini"_s), kKnownFile);
        QVERIFY(p.save());
        QCOMPARE(dir.read(u"larkvane.ini"_s), kKnownFile);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"larkvane.ini"_s });
    }

    void saveKeepsCommentsAndOtherSections()
    {
        TempWorkDir dir;
        const QByteArray before = "; Larkvane\r\n[Bmark]\r\ndt_len=1\r\ndatatxt=\x83\x4a,http://x/,\r\n\r\n"
                                  "[pref]\r\n; the window\r\nX_POS = 5\r\nmine=kept\r\n"
                                  "[Auction_File]\r\ndata2=old\r\n";
        dir.write(u"larkvane.ini"_s, before);
        StateStore store;
        store.setValue(u"x_pos"_s, u"200"_s);
        store.setValue(u"wavfile"_s, u"/w.wav"_s);
        SlotTable slots;
        slots.records[1].title = u"new"_s;
        Persistence p(store, dir.path());
        p.setSlotSource(&slots);
        QVERIFY(p.save());
        QCOMPARE(dir.read(u"larkvane.ini"_s),
            "; Larkvane\r\n[Bmark]\r\ndt_len=1\r\ndatatxt=\x83\x4a,http://x/,\r\n\r\n"
            "[pref]\r\n; the window\r\nX_POS=200\r\nmine=kept\r\n"
            "INI=0\r\ny_pos=0\r\nwidth=0\r\nheight=0\r\ncheck=\r\ntbar1=0\r\ntbar2=0\r\ntbar2mode=0\r\n"
            "Mes_pos1=\r\nMes_pos2=\r\nremind=\r\n"
            "[Auction_File]\r\ndata2=new\r\n"
                + freeSlots(1, 1) + "start2=\r\nend2=\r\nURL2=\r\nretime2=\r\nprice2=\r\nbids2=\r\n"
                + freeSlots(3, 10) + "[Sound_File]\r\nwave=/w.wav\r\n");
    }

    // Read and written back byte for byte.
    void slotsAreWrittenBackUnchanged()
    {
        TempWorkDir dir;
        dir.write(u"larkvane.ini"_s, kKnownFile);
        StateStore store;
        Persistence p(store, dir.path());
        SlotTable slots;
        slots.records = p.restore();
        p.setSlotSource(&slots);
        dir.write(u"larkvane.ini"_s, QByteArray());
        QVERIFY(p.save());
        QCOMPARE(dir.read(u"larkvane.ini"_s), kKnownFile);
    }

    void failedSaveKeepsTheFileAndTheNextWritesEverything_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<ProfileFile::Failure>("cause");
        QTest::newRow("read-only folder") << u"read-only"_s << ProfileFile::Failure::ReadOnly;
        QTest::newRow("disk full at the first byte") << u"full:0"_s << ProfileFile::Failure::DiskFull;
        QTest::newRow("disk full midway") << u"full:200"_s << ProfileFile::Failure::DiskFull;
        QTest::newRow("file we cannot read") << u"unreadable"_s << ProfileFile::Failure::Unreadable;
    }

    void failedSaveKeepsTheFileAndTheNextWritesEverything()
    {
        QFETCH(QString, fault);
        QFETCH(ProfileFile::Failure, cause);
        // Another program's lines too: the save that works must keep them.
        const QByteArray old = "[pref]\r\nINI=30\r\n; mine\r\n[other]\r\nk=v\r\n";
        TempWorkDir dir;
        dir.write(u"larkvane.ini"_s, old);
        StateStore store;
        SlotTable slots;
        fillKnownStore(store, slots);
        Persistence p(store, dir.path());
        p.setSlotSource(&slots);
        QStringList told;
        p.setProblemListener([&told](const QString &text) { told << text; });
        {
            std::unique_ptr<ReadOnlyFolder> readOnly;
            std::unique_ptr<DiskFullAfter> full;
            std::unique_ptr<UnreadableFile> unreadable;
            if (fault == u"read-only"_s)
                readOnly = std::make_unique<ReadOnlyFolder>(dir.path());
            else if (fault == u"unreadable"_s)
                unreadable = std::make_unique<UnreadableFile>(dir.filePath(u"larkvane.ini"_s));
            else
                full = std::make_unique<DiskFullAfter>(fault.section(u':', 1).toLong());
            // Said once, with the reason, and nothing else.
            for (int i = 0; i < 2; ++i) {
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^cannot (write|replace|read) "_s));
                QTest::ignoreMessage(
                    QtWarningMsg, QRegularExpression(u"^could not save .*previous contents"_s));
            }
            QTest::failOnWarning(QRegularExpression(u".*"_s));
            QVERIFY(!p.save());
            // The user is told once for the cause, not at every change.
            QVERIFY(!p.save());
        }
        QCOMPARE(told, QStringList { Persistence::saveProblemText(cause) });
        QCOMPARE(dir.read(u"larkvane.ini"_s), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"larkvane.ini"_s });

        // Changes go on meanwhile; the save that works writes them and the
        // ones the failed save held.
        store.setValue(u"infotime"_s, u"90"_s);
        slots.records[2] = { u"壺"_s, {}, u"26/12/11 10:00"_s, {}, {} };
        QVERIFY(p.save());
        TempWorkDir same;
        same.write(u"larkvane.ini"_s, old);
        Persistence other(store, same.path());
        other.setSlotSource(&slots);
        QVERIFY(other.save());
        QCOMPARE(dir.read(u"larkvane.ini"_s), same.read(u"larkvane.ini"_s));
        StateStore later;
        const Persistence::Slots back = Persistence(later, dir.path()).restore();
        QCOMPARE(later.value(u"infotime"_s), u"90"_s);
        QCOMPARE(back[1].title, u"腕時計 ジャンク"_s);
        QCOMPARE(back[2].end, u"26/12/11 10:00"_s);
        QVERIFY(dir.read(u"larkvane.ini"_s).contains("; mine\r\n[other]\r\nk=v\r\n"));
    }
};

int runPersistenceTest(int argc, char **argv)
{
    PersistenceTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "persistence_test.moc"
