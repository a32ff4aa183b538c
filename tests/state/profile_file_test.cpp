#include "file_faults.h"
#include "profile_file.h"
#include "temp_work_dir.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kA = u"a"_s;
const QString kK = u"k"_s;

// Section, key, value, section, key, value, ...
QByteArray applyAll(QByteArray contents, const QStringList &writes)
{
    for (qsizetype i = 0; i + 2 < writes.size(); i += 3)
        contents = ProfileFile::applyWrite(contents, writes[i], writes[i + 1], writes[i + 2]);
    return contents;
}

QByteArray randomBytes(quint32 start, int size)
{
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator(start).fillRange(reinterpret_cast<quint32 *>(b.data()), size / 4);
    return b;
}

QStringList filesIn(const TempWorkDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class ProfileFileTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const QByteArray &file, const QString &section,
                             const QString &key, const QByteArray &expected, int bufferSize = 256) {
            QTest::newRow(name) << file << section << key << bufferSize << expected;
        };
        const QByteArray x300 = QByteArray(300, 'x');
        const QByteArray a200 = QByteArray("\x82\xA0").repeated(200); // あ x 200
        row("CRLF lines", "[a]\r\nj=1\r\nk=2\r\n", kA, kK, "2");
        row("LF lines", "[a]\nj=1\nk=2\n", kA, kK, "2");
        row("CR lines", "[a]\rj=1\rk=2\r", kA, kK, "2");
        row("last line without a break", "[a]\r\nk=2", kA, kK, "2");
        row("names any case", "[A]\r\nK=5\r\n", kA, kK, "5");
        row("indented, trimmed section name", "  [  a\t]\r\nk=5\r\n", kA, kK, "5");
        row("text after the bracket", "[a] ; window\r\nk=5\r\n", kA, kK, "5");
        row("name runs to the last bracket", "[a]b]\r\nk=1\r\n", u"a]b"_s, kK, "1");
        row("not to the first bracket", "[a]b]\r\nk=1\r\n", kA, kK, "");
        row("header without a bracket", "[a\r\nk=5\r\n", kA, kK, "5");
        row("second byte 5D is no bracket", "[a]\x81\x5D\r\nk=1\r\n", kA, kK, "1");
        row("Japanese section name", "[\x83\x41]\r\nk=1\r\n", u"ア"_s, kK, "1");
        row("trail bytes do not fold", "[\x83\x41]\r\nk=1\r\n", u"ヂ"_s, kK, "");
        row("before the first header is no section", "k=7\r\n[a]\r\nj=1\r\n", kA, kK, "");
        row("comments", "[a]\r\n;k=5\r\n  ;k=6\r\nk=7\r\n", kA, kK, "7");
        row("key and value trimmed", "[a]\r\n  k  =\t\v\f\x1A 30 \x1A\f\v\t\r\n", kA, kK, "30");
        row("ideographic blank kept", "[a]\r\nk=\x81\x40x\x81\x40\r\n", kA, kK, "\x81\x40x\x81\x40");
        row("double quotes removed", "[a]\r\nk=\"x y\"\r\n", kA, kK, "x y");
        row("single quotes inside blanks", "[a]\r\nk=  ' x '  \r\n", kA, kK, " x ");
        row("one pair only", "[a]\r\nk=\"\"x\"\"\r\n", kA, kK, "\"x\"");
        row("mixed quotes kept", "[a]\r\nk=\"x'\r\n", kA, kK, "\"x'");
        row("one quote kept", "[a]\r\nk=\"\r\n", kA, kK, "\"");
        row("equals sign in the value", "[a]\r\nk=x=y\r\n", kA, kK, "x=y");
        row("line without equals has no value", "[a]\r\nk\r\nk=2\r\n", kA, kK, "");
        row("first key wins", "[a]\r\nk=1\r\nK=2\r\n", kA, kK, "1");
        row("first section wins", "[a]\r\nk=1\r\n[A]\r\nk=2\r\n", kA, kK, "1");
        row("key only in a repeated section", "[a]\r\nj=1\r\n[b]\r\n[a]\r\nk=2\r\n", kA, kK, "");
        row("missing section", "[a]\r\nk=1\r\n", u"b"_s, kK, "");
        row("missing key", "[a]\r\nk=1\r\n", kA, u"j"_s, "");
        row("NUL ends the value", QByteArray("[a]\r\nk=ab\0cd\r\n", 14), kA, kK, "ab");
        row("ASCII cut to 255", "[a]\r\nk=" + x300, kA, kK, x300.left(255));
        row("cut before a split character", "[a]\r\nk=" + a200, kA, kK, a200.left(254));
        row("cut on a boundary", "[a]\r\nk=x" + a200, kA, kK, "x" + a200.left(254));
        row("quotes go before the cut", "[a]\r\nk=\"" + x300 + "\"", kA, kK, x300.left(255));
        row("bookmark buffer", "[a]\r\nk=" + x300.repeated(20), kA, kK, x300.repeated(20).left(2999), 3000);
        row("buffer of one holds nothing", "[a]\r\nk=1\r\n", kA, kK, "", 1);
        const QByteArray mark = "\xEF\xBB\xBF";
        row("UTF-8: the mark is not in the first name", mark + "[a]\r\nk=5\r\n", kA, kK, "5");
        // E3 81 82 5D would be two pairs of code page 932, the bracket hidden.
        row("UTF-8: a name before its bracket", mark + u"[あ]\r\nk=1\r\n"_s.toUtf8(), u"あ"_s, kK, "1");
        row("UTF-8: cut where code page 932 is cut", mark + "[a]\r\nk=" + QString(200, u'あ').toUtf8(), kA,
            kK, QString(127, u'あ').toUtf8());
        row("UTF-8: broken bytes count one each", mark + "[a]\r\nk=" + QByteArray(300, '\xD3'), kA, kK,
            QByteArray(255, '\xD3'));
        row("UTF-8: a mark inside is a character", mark + "[a]\r\nk=" + mark.repeated(300), kA, kK,
            mark.repeated(255));
    }
    void reads()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, bufferSize);
        QFETCH(QByteArray, expected);
        QCOMPARE(ProfileFile::readFrom(file, section, key, bufferSize), expected);
    }

    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char *name, const QByteArray &before, const QStringList &writes,
                             const QByteArray &after) { QTest::newRow(name) << before << writes << after; };
        const QStringList ak1 = { kA, kK, u"1"_s };
        row("new file", "", { u"pref"_s, u"INI"_s, u"30"_s }, "[pref]\r\nINI=30\r\n");
        row("sections and keys in first-written order", "",
            { kA, kK, u"1"_s, u"b"_s, kK, u""_s, kA, u"j"_s, u"2"_s }, "[a]\r\nk=1\r\nj=2\r\n[b]\r\nk=\r\n");
        row("new section after a file without a last break", "[x]\r\nj=0", ak1,
            "[x]\r\nj=0\r\n[a]\r\nk=1\r\n");
        row("new section after a lone CR", "[x]\rj=0\r", ak1, "[x]\rj=0\r[a]\r\nk=1\r\n");
        row("new key right after the last key", "[a]\r\nj=0\r\n; note\r\n\r\n[b]\r\nk=0\r\n", ak1,
            "[a]\r\nj=0\r\nk=1\r\n; note\r\n\r\n[b]\r\nk=0\r\n");
        row("new key into a section with no keys", "[a]\r\n; empty\r\n[b]\r\n", ak1,
            "[a]\r\nk=1\r\n; empty\r\n[b]\r\n");
        row("new key after a last line without a break", "[a]\r\nj=0", ak1, "[a]\r\nj=0\r\nk=1\r\n");
        row("new key after a header without a break", "[a]", ak1, "[a]\r\nk=1\r\n");
        row("new lines are CRLF in an LF file", "[a]\nj=0\n", ak1, "[a]\nj=0\nk=1\r\n");
        row("replaced in place, spelling kept", "[A]\r\n  K = 5 \r\nj=0\r\n", ak1, "[A]\r\nK=1\r\nj=0\r\n");
        row("replacing keeps each line's break", "[a]\nk=5\nj=0", { kA, kK, u"1"_s, kA, u"j"_s, u"2"_s },
            "[a]\nk=1\nj=2");
        row("only the first of two keys", "[a]\r\nk=0\r\nk=2\r\n", ak1, "[a]\r\nk=1\r\nk=2\r\n");
        row("only the first of two sections", "[a]\r\nj=0\r\n[a]\r\nk=2\r\n", ak1,
            "[a]\r\nj=0\r\nk=1\r\n[a]\r\nk=2\r\n");
        row("key without a value gets one", "[a]\r\nk\r\n", ak1, "[a]\r\nk=1\r\n");
        row("everything else stays", "; by hand\r\nk=5\r\n\r\n[x]\r\n\x85\x40\xFF\x81=\x01\r\n[a]\r\n", ak1,
            "; by hand\r\nk=5\r\n\r\n[x]\r\n\x85\x40\xFF\x81=\x01\r\n[a]\r\nk=1\r\n");
        row("Japanese value", "", { kA, kK, u"腕時計 ジャンク"_s },
            "[a]\r\nk=\x98\x72\x8e\x9e\x8c\x76 \x83\x57\x83\x83\x83\x93\x83\x4e\r\n");
        // A title from a page must not be able to write keys of its own.
        row("line breaks become blanks", "[pref]\r\nINI=1\r\n", { kA, kK, u"x\r\n[pref]\r\nINI=0"_s },
            "[pref]\r\nINI=1\r\n[a]\r\nk=x  [pref]  INI=0\r\n");
        row("value ends at NUL", "", { kA, kK, u"ab\u0000cd"_s }, "[a]\r\nk=ab\r\n");
        const QByteArray mark = "\xEF\xBB\xBF";
        row("UTF-8 file stays UTF-8", mark + "[a]\r\nj=0\r\n", { kA, kK, u"腕時計 ✨"_s },
            mark + u"[a]\r\nj=0\r\nk=腕時計 ✨\r\n"_s.toUtf8());
        row("the mark alone", mark, ak1, mark + "[a]\r\nk=1\r\n");
    }
    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, writes);
        QFETCH(QByteArray, after);
        QCOMPARE(applyAll(before, writes), after);
    }

    void manyWritesAtOnceEqualSingleWrites_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("complete") << QByteArray(
            "[pref]\r\nINI=1\r\n[Sound_File]\r\nwave=x\r\n[Auction_File]\r\n");
        QTest::newRow("other order, comments")
            << QByteArray("; c\r\n[Auction_File]\r\nend=t\r\n\r\n[PREF]\r\nj=1");
        QTest::newRow("repeated sections")
            << QByteArray("[pref]\r\nINI=1\r\n[pref]\r\nx_pos=3\r\n[Auction_File]");
    }
    void manyWritesAtOnceEqualSingleWrites()
    {
        QFETCH(QByteArray, before);
        QList<ProfileFile::Entry> entries;
        QStringList flat;
        // New keys, replaced keys, keys written twice, sections left and re-entered.
        for (int round = 0; round < 2; ++round)
            for (const QString &s : { u"pref"_s, u"Sound_File"_s, u"Auction_File"_s })
                for (const QString &k : { u"INI"_s, u"wave"_s, u"end"_s, u"ini"_s }) {
                    entries.append({ s, k, s + k + QString::number(round) });
                    flat << s << k << entries.last().value;
                }
        TempWorkDir dir;
        if (!before.isEmpty())
            dir.write(u"larkvane.ini"_s, before);
        QVERIFY(ProfileFile(dir.filePath(u"larkvane.ini"_s)).writeAll(entries));
        QCOMPARE(dir.read(u"larkvane.ini"_s), applyAll(before, flat));
    }

    void filesThatAreNoIni_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray huge = QByteArray("\x82\xA0").repeated(5 << 20);
        QTest::newRow("random bytes") << randomBytes(932, 1 << 20) << QByteArray();
        QTest::newRow("10 MB, one line") << huge << QByteArray();
        QTest::newRow("10 MB of NUL") << QByteArray(10 << 20, '\0') << QByteArray();
        QTest::newRow("10 MB of line breaks") << QByteArray(10 << 20, '\n') << QByteArray();
        QTest::newRow("10 MB of headers") << QByteArray("[pref]\r\n").repeated(10 << 17) << QByteArray();
        QTest::newRow("10 MB of keys")
            << "[pref]\r\n" + QByteArray("y=1\n").repeated(10 << 18) << QByteArray();
        QTest::newRow("10 MB of brackets") << "[" + QByteArray(10 << 20, ']') << QByteArray();
        QTest::newRow("one huge value, cut") << "[pref]\r\nINI=" + huge << huge.left(254);
        QTest::newRow("our key after a huge line") << huge + "\r\n[pref]\r\nINI=45\r\n" << QByteArray("45");
        QTest::newRow("truncated mid-pair") << QByteArray("[pref]\r\nINI=\x82") << QByteArray("\x82");
    }
    // No crash, no hang, nothing made up; the test's time limit catches a
    // parse that is not linear.
    void filesThatAreNoIni()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, expected);
        QCOMPARE(ProfileFile::readFrom(file, u"pref"_s, u"INI"_s), expected);
        const QByteArray written = ProfileFile::applyWrite(file, u"pref"_s, u"INI"_s, u"30"_s);
        QCOMPARE(ProfileFile::readFrom(written, u"pref"_s, u"INI"_s), QByteArray("30"));
    }

    void missingFileReadsEmptyAndFirstWriteCreatesIt()
    {
        TempWorkDir dir;
        ProfileFile file(dir.filePath(u"larkvane.ini"_s));
        QCOMPARE(file.read(u"pref"_s, u"INI"_s), QString());
        QVERIFY(file.write(u"Auction_File"_s, u"data1"_s, u"カメラ"_s));
        QCOMPARE(
            dir.read(u"larkvane.ini"_s), QByteArray("[Auction_File]\r\ndata1=\x83\x4a\x83\x81\x83\x89\r\n"));
        QCOMPARE(file.read(u"auction_file"_s, u"DATA1"_s), u"カメラ"_s);
        QCOMPARE(filesIn(dir), QStringList { u"larkvane.ini"_s });
    }

    void failedWritesKeepTheOldFile()
    {
        TempWorkDir dir;
        const QByteArray old = "[pref]\r\nINI=30\r\n";
        dir.write(u"larkvane.ini"_s, old);
        ProfileFile file(dir.filePath(u"larkvane.ini"_s));
        {
            ReadOnlyFolder readOnly(dir.path());
            QCOMPARE(file.read(u"pref"_s, u"INI"_s), u"30"_s);
            QVERIFY(!file.write(u"pref"_s, u"INI"_s, u"45"_s));
        }
        QCOMPARE(dir.read(u"larkvane.ini"_s), old);
        {
            DiskFullAfter full(4096);
            QVERIFY(!file.write(u"Bmark"_s, u"datatxt"_s, QString(100000, u'x')));
        }
        QCOMPARE(dir.read(u"larkvane.ini"_s), old);
        QCOMPARE(filesIn(dir), QStringList { u"larkvane.ini"_s });
    }

    void interruptedSavesRemoved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("beforeStart");
        QTest::addColumn<bool>("removed");
        QTest::newRow("left by a save") << u"larkvane.ini.YLCWXw"_s << true << true;
        QTest::newRow("younger than the process") << u"larkvane.ini.YLCWXw"_s << false << false;
        QTest::newRow("a user's copy") << u"larkvane.ini.backup"_s << true << false;
        QTest::newRow("a user's copy in capitals") << u"larkvane.ini.BEFORE"_s << true << false;
        QTest::newRow("five letters") << u"larkvane.ini.YLCWX"_s << true << false;
        QTest::newRow("not letters") << u"larkvane.ini.YLC1Xw"_s << true << false;
        QTest::newRow("other case") << u"LARKVANE.INI.YLCWXw"_s << true << false;
        QTest::newRow("another file's") << u"bookmarks.ini.YLCWXw"_s << true << false;
        QTest::newRow("the file itself") << u"larkvane.ini"_s << true << false;
    }
    void interruptedSavesRemoved()
    {
        QFETCH(QString, name);
        QFETCH(bool, beforeStart);
        QFETCH(bool, removed);
        TempWorkDir dir;
        dir.write(name, "[pref]\r\nINI=30\r\n");
        const QDateTime start = QDateTime::currentDateTime();
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(start.addSecs(beforeStart ? -60 : 1), QFileDevice::FileModificationTime));
        file.close();

        QCOMPARE(
            ProfileFile::removeInterruptedSaves(dir.filePath(u"larkvane.ini"_s), start), removed ? 1 : 0);
        QCOMPARE(QFile::exists(dir.filePath(name)), !removed);
    }

    // Rewriting a file we could not read would throw away what it holds.
    void unreadableFileIsNotReplaced()
    {
        TempWorkDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"larkvane.ini"_s));
        ProfileFile file(dir.filePath(u"larkvane.ini"_s));
        QCOMPARE(file.read(u"pref"_s, u"INI"_s), QString());
        QVERIFY(!file.write(u"pref"_s, u"INI"_s, u"45"_s));
        QVERIFY(QFileInfo(file.path()).isDir());
    }
};

int runProfileFileTest(int argc, char **argv)
{
    ProfileFileTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "profile_file_test.moc"
