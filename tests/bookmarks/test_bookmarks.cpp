#include "bookmark_list.h"
#include "bookmark_window.h"
#include "cp932_codec.h"
#include "profile_file.h"
#include "test_services.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray bmark(const QByteArray &dtLen, const QByteArray &datatxt)
{
    return "[Bmark]\r\ndt_len=" + dtLen + "\r\ndatatxt=" + datatxt + "\r\n";
}

// `count` records of `size` bytes ("tNNxxx...,u,"), the first `firstSize`.
QByteArray records(int count, int size, int firstSize = 0)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        const QByteArray title = 't' + QByteArray::number(i).rightJustified(2, '0');
        text += title + QByteArray((i == 0 && firstSize ? firstSize : size) - 6, 'x') + ",u,";
    }
    return text;
}

struct Harness
{
    TestServices t;
    QWidget owner;

    explicit Harness(const QByteArray &file)
    {
        if (!file.isEmpty())
            t.dir.write(u"larkvane.ini"_s, file);
        owner.show();
        t.browser.owner = &owner;
        registerBookmarkWindows(t.windows, t.services);
    }
    QByteArray file() const { return t.dir.read(u"larkvane.ini"_s); }
    // dt_len|datatxt as stored now.
    QString stored() const
    {
        const ProfileFile f(t.dir.filePath(u"larkvane.ini"_s));
        return f.read(u"Bmark"_s, u"dt_len"_s) + u'|' + f.read(u"Bmark"_s, u"datatxt"_s, 10000);
    }
    QWidget *open() { return qobject_cast<QWidget *>(t.windows.open(u"frmbookmark"_s, &owner)); }
    bool add(const QString &title, const QString &url)
    {
        t.browser.name = title;
        t.browser.url = url;
        return BookmarkList::addCurrentPage(t.services, &owner);
    }
};

QStringList rows(QWidget *window, const QString &name)
{
    QStringList texts;
    auto *list = window->findChild<QListWidget *>(name);
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// "sN" / "dN" click / double-click row N, "btnN" clicks a button, "close",
// "registry" and "escape" close the window those other ways.
void perform(Harness &h, QWidget *window, const QString &actions)
{
    auto *list = window->findChild<QListWidget *>(u"List1"_s);
    for (const QString &a : actions.split(u';', Qt::SkipEmptyParts)) {
        if (a.startsWith(u's') || a.startsWith(u'd')) {
            const QPoint at = list->visualItemRect(list->item(a.mid(1).toInt())).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            if (a.startsWith(u'd')) // the second press of a double-click
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        } else if (a.startsWith(u"btn"_s)) {
            QTest::mouseClick(window->findChild<QAbstractButton *>(a), Qt::LeftButton);
        } else if (a == u"close"_s) {
            window->close();
        } else if (a == u"registry"_s) {
            h.t.windows.close(u"frmbookmark"_s);
        } else {
            QTest::keyClick(window, Qt::Key_Escape);
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestBookmarks : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readLimits_data();
    void readLimits();
    void wholeRecords_data();
    void wholeRecords();
    void add_data();
    void add();
    void addGoesToTheOneFile();
    void window_data();
    void window();
    void shape();
};

void TestBookmarks::readLimits_data()
{
    QTest::addColumn<QByteArray>("datatxt");
    QTest::addColumn<int>("windowSees");
    QTest::addColumn<int>("afterAdd");
    // 100-byte records: the window's 2999 bytes hold 29, the add's 4999 hold 49.
    QTest::newRow("40 records") << records(40, 100) << 29 << 41;
    QTest::newRow("60 records") << records(60, 100) << 29 << 50;
    QTest::newRow("records ending on the last byte") << records(60, 100, 99) << 30 << 51;
    QByteArray wide; // 101 bytes but 52 characters each
    for (int i = 0; i < 40; ++i)
        wide += QByteArray(49 * 2, 'x').replace("xx", "\x82\xa0") + ",u,";
    QTest::newRow("bytes, not characters") << wide << 29 << 41;
}

void TestBookmarks::readLimits()
{
    QFETCH(QByteArray, datatxt);
    QFETCH(int, windowSees);
    QFETCH(int, afterAdd);
    Harness h(bmark("100", datatxt));
    QWidget *window = h.open();
    QCOMPARE(rows(window, u"List1"_s).size(), windowSees);
    QCOMPARE(rows(window, u"List2"_s).size(), windowSees);
    perform(h, window, u"close"_s);

    QVERIFY(h.add(u"new"_s, u"http://n/"_s));
    const QString stored = h.stored();
    QVERIFY(stored.startsWith(QString::number(afterAdd) + u'|') && stored.endsWith(u",new,http://n/,"_s));
    QCOMPARE(BookmarkList::parse(stored.section(u'|', 1), 1000).size(), afterAdd);
}

void TestBookmarks::wholeRecords_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("whole");
    QTest::newRow("cut inside an address") << QByteArray("a,u1,b,http://x") << QByteArray("a,u1,");
    QTest::newRow("cut after a lead byte") << QByteArray("a,u1,\x88") << QByteArray("a,u1,");
    // A file another program wrote: the decoder reads 88 2C as one character.
    QTest::newRow("comma after a lead byte") << QByteArray("a\x88,u1,b,u2,") << QByteArray("a\x88,u1,b,");
}

void TestBookmarks::wholeRecords()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, whole);
    QCOMPARE(BookmarkList::wholeRecords(stored), whole);
    const QString text = Cp932::decode(whole);
    QCOMPARE(BookmarkList::serialize(BookmarkList::parse(text, 100)), text);
}

void TestBookmarks::add_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("stored"); // dt_len|datatxt; empty: refused, file untouched
    const QByteArray one = bmark("1", "a,u1,");
    // clang-format off
    QTest::newRow("first") << QByteArray() << u"ノートPC 美品"_s << u"http://x/1"_s << u"1|ノートPC 美品,http://x/1,"_s;
    QTest::newRow("second goes last") << one << u"b"_s << u"u2"_s << u"2|a,u1,b,u2,"_s;
    QTest::newRow("title beginning with http") << one << u"http://x/1"_s << u"http://x/1"_s << QString();
    QTest::newRow("empty title") << QByteArray() << QString() << u"u"_s << QString();
    QTest::newRow("HTTP in capitals") << QByteArray() << u"HTTP入門"_s << u"u"_s << u"1|HTTP入門,u,"_s;
    QTest::newRow("commas") << one << u"時計, 腕時計"_s << u"http://x/?q=1,2"_s << u"2|a,u1,時計， 腕時計,http://x/?q=1%2C2,"_s;
    QTest::newRow("line breaks") << QByteArray() << u"a\r\n[pref]"_s << u"http://x/\n"_s << u"1|a  [pref],http://x/%0A,"_s;
    QTest::newRow("NUL in title and address") << one << u"2http://\0，\0b"_s << u"http://x/\0y"_s << u"2|a,u1,2http:// ， b,http://x/%00y,"_s;
    QTest::newRow("short dt_len: new page visible") << bmark("1", "a,u1,b,u2,") << u"c"_s << u"u3"_s << u"2|a,u1,c,u3,"_s;
    QTest::newRow("dt_len beyond the records") << bmark("5", "a,u1,") << u"c"_s << u"u3"_s << u"2|a,u1,c,u3,"_s;
    QTest::newRow("UTF-8 file") << QByteArray("\xEF\xBB\xBF" + bmark("1", u"あ,u1,"_s.toUtf8())) << u"時計"_s << u"u2"_s << u"2|あ,u1,時計,u2,"_s;
    QTest::newRow("NUL ends the old list") << bmark("2", QByteArray("a,u1,\0b,u2,", 11)) << u"c"_s << u"u3"_s << u"2|a,u1,c,u3,"_s;
    // clang-format on
}

void TestBookmarks::add()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, title);
    QFETCH(QString, url);
    QFETCH(QString, stored);
    Harness h(file);
    QCOMPARE(h.add(title, url), !stored.isEmpty());
    if (stored.isEmpty()) {
        QCOMPARE(h.t.messages.texts,
            QStringList { u"動作が正しくありません。もう一度同じ操作を繰り返してみて下さい。"_s });
        QCOMPARE(h.file(), file);
        return;
    }
    QCOMPARE(h.stored(), stored);
    const QString kept = stored.section(u'|', 1).section(u',', -3, -3);
    QCOMPARE(h.t.messages.texts, QStringList { u"「"_s + kept + u"」をお気に入りに登録しました。"_s });
    QCOMPARE(rows(h.open(), u"List1"_s).last(), kept);
}

// One file for everything: a working folder changed since start-up (a file
// dialog's) leaves the bookmarks where the timers are.
void TestBookmarks::addGoesToTheOneFile()
{
    Harness h({});
    QDir(h.t.dir.path()).mkdir(u"later"_s);
    QDir::setCurrent(h.t.dir.filePath(u"later"_s));
    QVERIFY(h.add(u"a"_s, u"u1"_s));
    QVERIFY(!QFile::exists(u"larkvane.ini"_s));
    QCOMPARE(ProfileFile(h.t.persistence.iniPath()).read(u"Bmark"_s, u"datatxt"_s), u"a,u1,"_s);
}

void TestBookmarks::window_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("stored"); // dt_len|datatxt afterwards; "-": file untouched
    QTest::addColumn<QString>("navigated");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("stillOpen");
    const QByteArray three = bmark("3", "a,u1,b,u2,c,u3,");
    const QByteArray blank = bmark("2", "a,,b,u2,");
    const QString abc = u"a|b|c"_s;
    const QString all = u"3|a,u1,b,u2,c,u3,"_s;
    // clang-format off
    QTest::newRow("no section, 閉じる") << QByteArray() << u"btn3"_s << QString() << u"0|"_s << QString() << QString() << false;
    QTest::newRow("delete first of three, 閉じる") << three << u"s0;btn2;btn3"_s << abc << u"2|b,u2,c,u3,"_s << QString() << QString() << false;
    QTest::newRow("delete, close box") << three << u"s0;btn2;close"_s << abc << u"-"_s << QString() << QString() << false;
    QTest::newRow("delete, program closes it") << three << u"s1;btn2;registry"_s << abc << u"-"_s << QString() << QString() << false;
    QTest::newRow("delete, escape") << three << u"s2;btn2;escape"_s << abc << u"-"_s << QString() << QString() << false;
    QTest::newRow("表　示") << three << u"s0;btn2;s1;btn1"_s << abc << u"2|b,u2,c,u3,"_s << u"u3"_s << QString() << false;
    QTest::newRow("表　示 nothing chosen") << three << u"btn1"_s << abc << u"-"_s << QString() << u"表示したい項目を一つ選択して下さい。"_s << true;
    QTest::newRow("削　除 nothing chosen") << three << u"btn2;btn3"_s << abc << all << QString() << u"削除したい項目を一つ選択して下さい。"_s << false;
    QTest::newRow("second delete needs a choice") << three << u"s0;btn2;btn2"_s << abc << u"-"_s << QString() << u"削除したい項目を一つ選択して下さい。"_s << true;
    QTest::newRow("double-click") << three << u"d2"_s << abc << all << u"u3"_s << QString() << false;
    QTest::newRow("double-click, empty address") << blank << u"d0"_s << u"a|b"_s << u"-"_s << QString() << QString() << true;
    QTest::newRow("表　示, empty address") << blank << u"s0;btn1"_s << u"a|b"_s << u"2|a,,b,u2,"_s << QString() << u"動作エラーです。"_s << false;
    QTest::newRow("short dt_len drops the rest") << bmark("2", "a,u1,b,u2,c,u3,") << u"btn3"_s << u"a|b"_s << u"2|a,u1,b,u2,"_s << QString() << QString() << false;
    QTest::newRow("dt_len beyond the text") << bmark("9", "a,u1,b,u2,") << u"btn3"_s << u"a|b"_s << u"2|a,u1,b,u2,"_s << QString() << QString() << false;
    QTest::newRow("record missing its comma") << bmark("2", "a,u1,b,u2") << QString() << u"a"_s << u"-"_s << QString() << QString() << true;
    // clang-format on
}

void TestBookmarks::window()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, actions);
    QFETCH(QString, shown);
    QFETCH(QString, stored);
    QFETCH(QString, navigated);
    QFETCH(QString, message);
    QFETCH(bool, stillOpen);

    Harness h(file);
    QPointer<QWidget> window = h.open();
    QCOMPARE(rows(window, u"List1"_s).join(u'|'), shown);
    perform(h, window, actions);
    if (stored == u"-"_s)
        QCOMPARE(h.file(), file);
    else
        QCOMPARE(h.stored(), stored);
    QCOMPARE(h.t.browser.navigated.join(u'|'), navigated);
    QCOMPARE(h.t.messages.texts.join(u'|'), message);
    QCOMPARE(!window.isNull(), stillOpen);
}

void TestBookmarks::shape()
{
    Harness h(bmark("1", "<b>x</b>,u1,"));
    QWidget *window = h.open();
    QCOMPARE(window->windowTitle(), u"お気に入り　（注目している出品物）"_s);
    QCOMPARE(window->parentWidget(), &h.owner);
    QVERIFY(window->isWindow() && window->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(window->windowModality(), Qt::WindowModal);
    const QPoint centre = window->screen()->availableGeometry().center();
    QVERIFY((window->frameGeometry().center() - centre).manhattanLength() <= 2);

    auto *list1 = window->findChild<QListWidget *>(u"List1"_s);
    QCOMPARE(rows(window, u"List1"_s), QStringList { u"<b>x</b>"_s });
    QVERIFY(!window->findChild<QListWidget *>(u"List2"_s)->isVisible());
    QStringList captions;
    int left = -1;
    for (int i = 1; i <= 3; ++i) {
        auto *b = window->findChild<QAbstractButton *>(u"btn"_s + QString::number(i));
        QVERIFY(b->x() > left && b->y() > list1->geometry().bottom());
        left = b->x();
        captions << b->text();
    }
    QCOMPARE(captions.join(u'|'), u"表　示|削　除|閉じる"_s);
    QWidget *first = window->nextInFocusChain();
    while (!(first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    QCOMPARE(first, list1);
}

QTEST_MAIN(TestBookmarks)
#include "test_bookmarks.moc"
