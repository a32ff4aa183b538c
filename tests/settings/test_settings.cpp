#include "cp932_codec.h"
#include "profile_file.h"
#include "settings_dialog.h"
#include "settings_form.h"
#include "test_services.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QStringList items(const QString &list)
{
    return list.split(u';', Qt::SkipEmptyParts);
}

// The dialog over doubles, owned by a stand-in browser window; `fields` is
// "name=value;name=value".
struct Harness
{
    TestServices t;
    QWidget owner;

    explicit Harness(const QString &fields)
    {
        for (const QString &f : items(fields))
            t.store.setValue(f.section(u'=', 0, 0), f.section(u'=', 1));
        owner.show();
        t.browser.owner = &owner;
        registerSettingsWindows(t.windows, t.services);
    }
    QWidget *open() { return qobject_cast<QWidget *>(t.windows.open(u"frmConf"_s, &owner)); }
};

// What a person sees: a field's or list's text, a tick, or with ".enabled"
// whether the control can be used.
QString seen(QWidget *dialog, QString name)
{
    const bool enabled = name.endsWith(u".enabled"_s);
    if (enabled)
        name.chop(8);
    auto *w = dialog->findChild<QWidget *>(name);
    if (!w)
        return u"<missing>"_s;
    if (enabled)
        return QString::number(w->isEnabled());
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText();
    return QString::number(qobject_cast<QAbstractButton *>(w)->isChecked());
}

// "Name" clicks, "Name=text" types into a field, "Name#n" picks list item n.
void perform(QWidget *dialog, const QString &actions)
{
    for (const QString &a : items(actions)) {
        const QString name = a.section(QRegularExpression(u"[=#]"_s), 0, 0);
        auto *w = dialog->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        if (a.contains(u'='))
            qobject_cast<QLineEdit *>(w)->setText(a.section(u'=', 1));
        else if (a.contains(u'#'))
            qobject_cast<QComboBox *>(w)->setCurrentIndex(a.section(u'#', 1).toInt());
        else // check boxes and options react on their box, not their far end
            QTest::mouseClick(w, Qt::LeftButton, {},
                qobject_cast<QPushButton *>(w) ? w->rect().center() : QPoint(8, w->height() / 2));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

const QStringList kSix { u"infotime"_s, u"wavfile"_s, u"chk1"_s, u"tbar1"_s, u"tbar2"_s, u"tbar2mode"_s };

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void minutes_data();
    void minutes();
    void opening_data();
    void opening();
    void closing_data();
    void closing();
    void otherClose_data();
    void otherClose();
    void shape();
};

void TestSettings::minutes_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("seconds"); // "-": not a number
    // clang-format off
    QTest::newRow("one and a half") << u"1.5"_s << u"90"_s;
    QTest::newRow("a tenth, no binary noise") << u"0.1"_s << u"6"_s;
    QTest::newRow("negative, blanks around") << u" -0.5 "_s << u"-30"_s;
    QTest::newRow("fraction kept") << u"2.675"_s << u"160.5"_s;
    QTest::newRow("small, no exponent") << u"1e-10"_s << u"0.000000006"_s;
    QTest::newRow("15 significant digits") << u"1234567890.123456"_s << u"74074073407.4074"_s;
    QTest::newRow("large, rounded, no exponent") << u"123456789012345678"_s << u"7407407340740740000"_s;
    QTest::newRow("letters") << u"abc"_s << u"-"_s;
    QTest::newRow("number then letters") << u"3分"_s << u"-"_s;
    QTest::newRow("empty") << QString() << u"-"_s;
    QTest::newRow("full-width digits") << u"１"_s << u"-"_s;
    QTest::newRow("overflow") << u"1e308"_s << u"-"_s;
    // clang-format on
}

void TestSettings::minutes()
{
    QFETCH(QString, number);
    QFETCH(QString, seconds);
    QCOMPARE(minutesToSeconds(number).value_or(u"-"_s), seconds);
}

void TestSettings::opening_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("controls");
    // clang-format off
    QTest::newRow("lead in seconds") << u"infotime=180"_s << u"Text2=180;Text1=180;Combo1=秒"_s;
    QTest::newRow("lead as stored") << u"infotime=abc;wavfile=/s/時報.wav"_s << u"Text2=abc;Text3=/s/時報.wav"_s;
    QTest::newRow("tray only for exactly 1") << u"chk1= 1"_s << u"Check1=0"_s;
    QTest::newRow("toolbar shown") << u"tbar1=1;chk1=1"_s << u"Option1=1;Option2=0;Check1=1"_s;
    QTest::newRow("toolbar neither") << u"tbar1="_s << u"Option1=0;Option2=0"_s;
    QTest::newRow("buttons in a corner") << u"tbar2=1;tbar2mode=3"_s << u"Option3=1;Combo2=右下;Combo2.enabled=1"_s;
    QTest::newRow("corner rounded") << u"tbar2=1;tbar2mode=0.6"_s << u"Combo2=右上"_s;
    QTest::newRow("buttons hidden") << u"tbar2=0;tbar2mode=2"_s << u"Option4=1;Combo2=;Combo2.enabled=0"_s;
    QTest::newRow("stored corner outside the list") << u"tbar2=1;tbar2mode=4"_s << u"Option3=1;Combo2=;Combo2.enabled=1"_s;
    QTest::newRow("buttons neither") << u"tbar2=x;tbar2mode=1"_s << u"Option3=0;Option4=0;Combo2=;Combo2.enabled=0"_s;
    // clang-format on
}

void TestSettings::opening()
{
    QFETCH(QString, fields);
    QFETCH(QString, controls);
    Harness h(fields);
    QWidget *dialog = h.open();
    for (const QString &c : items(controls))
        QCOMPARE(c.section(u'=', 0, 0) + u'=' + seen(dialog, c.section(u'=', 0, 0)), c);
}

void TestSettings::closing_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("answers"); // the file dialog's; "-" cancels
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("expected"); // store fields afterwards
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("bars"); // applyBars(toolbar,buttons); empty: still open
    const QString pos = u"ﾌﾛｰﾄﾎﾞﾀﾝを使う場合は表示位置を指定して下さい。"_s;
    const QString nan = u"お知らせ時間は数字で入力してください。"_s;
    // clang-format off
    QTest::newRow("３ 分 after 180") << u"infotime=180"_s << QString() << u"tm03;Command1"_s << u"infotime=180"_s << QString() << u"0,0"_s;
    QTest::newRow("1.5 minutes") << QString() << QString() << u"Text2=1.5;Combo1#1;Command1"_s << u"infotime=90"_s << QString() << u"0,0"_s;
    QTest::newRow("45 seconds") << QString() << QString() << u"Text2=45;Command1"_s << u"infotime=45"_s << QString() << u"0,0"_s;
    QTest::newRow("abc seconds as typed") << QString() << QString() << u"Text2=abc;Command1"_s << u"infotime=abc"_s << QString() << u"0,0"_s;
    QTest::newRow("abc minutes refused") << u"infotime=30;chk1=0"_s << QString() << u"Text2=abc;Combo1#1;Check1;Command1"_s << u"infotime=30;chk1=0"_s << nan << QString();
    QTest::newRow("30秒 sets the unit") << QString() << QString() << u"Combo1#1;tm01;Command1"_s << u"infotime=30"_s << QString() << u"0,0"_s;
    QTest::newRow("30 分") << QString() << QString() << u"tm06;Command1"_s << u"infotime=1800"_s << QString() << u"0,0"_s;
    QTest::newRow("tray ticked") << QString() << QString() << u"Check1;Command1"_s << u"chk1=1"_s << QString() << u"0,0"_s;
    QTest::newRow("toolbar neither left alone") << u"tbar1="_s << QString() << u"Command1"_s << u"tbar1="_s << QString() << u"-1,0"_s;
    QTest::newRow("toolbar shown") << QString() << QString() << u"Option1;Command1"_s << u"tbar1=1"_s << QString() << u"1,0"_s;
    QTest::newRow("shown after hidden needs a corner") << QString() << QString() << u"Option3;Command1"_s << u"tbar2=0"_s << pos << QString();
    QTest::newRow("shown with a corner") << u"tbar1=1"_s << QString() << u"Option3;Combo2#3;Command1"_s << u"tbar2=1;tbar2mode=3"_s << QString() << u"1,1"_s;
    QTest::newRow("hidden resets the corner") << u"tbar2=1;tbar2mode=2"_s << QString() << u"Option4;Command1"_s << u"tbar2=0;tbar2mode=0"_s << QString() << u"0,0"_s;
    QTest::newRow("hidden then shown has no corner") << u"tbar2=1;tbar2mode=2"_s << QString() << u"Option4;Option3;Command1"_s << u"tbar2mode=2"_s << pos << QString();
    QTest::newRow("corner checked before number") << u"tbar2=1;tbar2mode=9"_s << QString() << u"Text2=x;Combo1#1;Command1"_s << u"infotime=0"_s << pos << QString();
    QTest::newRow("buttons neither left alone") << u"tbar2=;tbar2mode=2"_s << QString() << u"Command1"_s << u"tbar2=;tbar2mode=2"_s << QString() << u"0,-1"_s;
    QTest::newRow("cancel first empties the path") << u"wavfile=/s/a.wav"_s << u"-"_s << u"Command2;Command1"_s << u"wavfile="_s << QString() << u"0,0"_s;
    QTest::newRow("cancel after a choice keeps it") << QString() << u"/s/b.wav;-"_s << u"Command2;Command2;Command1"_s << u"wavfile=/s/b.wav"_s << QString() << u"0,0"_s;
    QTest::newRow("reminders in their order") << QString() << QString() << u"remind10;remind60;Command1"_s << u"remind=60,10"_s << QString() << u"0,0"_s;
    QTest::newRow("a typed reminder kept") << u"remind=1440, 30,60"_s << QString() << u"remind60;remind10;Command1"_s << u"remind=1440,10,30"_s << QString() << u"0,0"_s;
    QTest::newRow("listen without a path") << QString() << QString() << u"SoundPlay"_s << QString() << u"曲ファイルを選択してください。"_s << QString();
    // clang-format on
}

void TestSettings::closing()
{
    QFETCH(QString, fields);
    QFETCH(QString, answers);
    QFETCH(QString, actions);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    QFETCH(QString, bars);

    Harness h(fields);
    for (const QString &a : items(answers))
        h.t.files.answers << (a == u"-"_s ? QString() : a);
    QPointer<QWidget> dialog = h.open();
    perform(dialog, actions);

    for (const QString &e : items(expected))
        QCOMPARE(e.section(u'=', 0, 0) + u'=' + h.t.store.value(e.section(u'=', 0, 0)), e);
    QCOMPARE(h.t.messages.texts, items(message));
    QCOMPARE(dialog.isNull(), !bars.isEmpty());
    QStringList applied;
    for (const auto &[toolbar, buttons] : h.t.browser.barsApplied)
        applied << QString::number(toolbar) + u',' + QString::number(buttons);
    QCOMPARE(applied, items(bars));
    // What was applied is saved at once; a refused close saves nothing.
    const QByteArray ini = h.t.dir.read(u"larkvane.ini"_s);
    QCOMPARE(ProfileFile::readFrom(ini, u"pref"_s, u"INI"_s),
        bars.isEmpty() ? QByteArray() : Cp932::encode(h.t.store.value(u"infotime"_s)));
}

void TestSettings::otherClose_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close box") << u"close"_s;
    QTest::newRow("slot end, through the registry") << u"registry"_s;
    QTest::newRow("escape") << u"escape"_s;
}

void TestSettings::otherClose()
{
    QFETCH(QString, how);
    Harness h(u"infotime=120;wavfile=/s/a.wav;chk1=0;tbar1=1;tbar2=1;tbar2mode=2"_s);
    QStringList before;
    for (const QString &f : kSix)
        before << h.t.store.value(f);
    h.t.files.answers = { u"/s/b.wav"_s };
    QPointer<QWidget> dialog = h.open();
    perform(dialog, u"tm06;Check1;Option2;Option4;Command2"_s);
    if (how == u"close"_s)
        dialog->close();
    else if (how == u"registry"_s)
        h.t.windows.close(u"frmConf"_s);
    else
        QTest::keyClick(dialog, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QVERIFY(dialog.isNull());
    QStringList after;
    for (const QString &f : kSix)
        after << h.t.store.value(f);
    QCOMPARE(after, before);
    QVERIFY(h.t.browser.barsApplied.isEmpty());
    QCOMPARE(seen(h.open(), u"Combo2"_s), u"左下"_s); // the next opening starts from the store
}

void TestSettings::shape()
{
    Harness h { QString() };
    QWidget *dialog = h.open();
    QCOMPARE(dialog->windowTitle(), u"Larkvane 環境設定"_s);
    QCOMPARE(dialog->parentWidget(), &h.owner);
    QVERIFY(dialog->isWindow() && dialog->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QVERIFY(!dialog->findChild<QWidget *>(u"Text1"_s)->isVisible());
    const QPoint centre = dialog->screen()->availableGeometry().center();
    QVERIFY((dialog->frameGeometry().center() - centre).manhattanLength() <= 2);

    QStringList presets;
    int left = -1;
    for (int i = 1; i <= 6; ++i) {
        auto *b = dialog->findChild<QAbstractButton *>(u"tm0"_s + QString::number(i));
        QVERIFY(b->x() > left);
        left = b->x();
        presets << b->text();
    }
    QCOMPARE(presets.join(u'|'), u"30秒|１ 分|３ 分|５ 分|10 分|30 分"_s);
    auto *combo2 = dialog->findChild<QComboBox *>(u"Combo2"_s);
    QCOMPARE(combo2->count(), 4);
    QCOMPARE(combo2->itemText(0) + combo2->itemText(3), u"左上右下"_s);

    perform(dialog, u"SoundPlay;Text3=/s/c.wav;SoundPlay;Command2"_s);
    QCOMPARE(h.t.sound.played, QStringList { u"/s/c.wav"_s });
    QCOMPARE(h.t.files.filters, QStringList { u"お知らせサウンドファイル (*.wav)"_s });
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
