#include "clock.h"
#include "time_text.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TimeTextTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void oneReader_data();
    void oneReader();
};

void TimeTextTest::oneReader_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("read"); // invalid: unreadable
    QTest::addColumn<bool>("exact"); // the form the program writes
    const QDateTime dec9 = japanDateTime(QDate(2026, 12, 9), QTime(10, 5));
    QTest::newRow("as written") << u"26/12/09 10:05"_s << dec9 << true;
    QTest::newRow("blank-padded day") << u"26/12/9  10:05"_s << dec9 << false;
    QTest::newRow("next century's year")
        << u"99/01/01 00:00"_s << japanDateTime(QDate(2099, 1, 1), QTime(0, 0)) << true;
    QTest::newRow("month 13") << u"26/13/01 10:00"_s << QDateTime() << false;
    QTest::newRow("30 February") << u"27/02/30 10:00"_s << QDateTime() << false;
    QTest::newRow("hour 25") << u"26/12/09 25:00"_s << QDateTime() << false;
    QTest::newRow("no time") << u"26/12/09"_s << QDateTime() << false;
    QTest::newRow("blank in the time") << u"26/12/09 1 :05"_s << QDateTime() << false;
    QTest::newRow("full-width digits") << u"２６/１２/０９ １０:００"_s << QDateTime() << false;
    QTest::newRow("N/A") << u"N/A"_s << QDateTime() << false;
    QTest::newRow("empty") << QString() << QDateTime() << false;
}

void TimeTextTest::oneReader()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, read);
    QFETCH(bool, exact);
    const TimeTextParts parts = readTimeText(text);
    QCOMPARE(parts.isValid(), read.isValid());
    if (read.isValid())
        QCOMPARE(japanDateTime(parts.date, parts.time), read);
    QCOMPARE(parseTimeText(text).isValid(), exact);
    if (exact) {
        QCOMPARE(parseTimeText(text), read);
        QCOMPARE(timeText(read), text);
    }
}

int runTimeTextTest(int argc, char **argv)
{
    TimeTextTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "time_text_test.moc"
