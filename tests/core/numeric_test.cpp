#include "numeric.h"

#include <QTest>

using namespace Qt::StringLiterals;

class NumericTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void numericValueOfText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        const auto row
            = [](const char *name, const QString &text, double v) { QTest::newRow(name) << text << v; };
        row("empty", QString(), 0);
        row("letters", u"abc"_s, 0);
        row("plain", u"45"_s, 45);
        row("negative", u"-30"_s, -30);
        row("plus sign", u"+5"_s, 5);
        row("signed form of 90", u" 90"_s, 90);
        row("leading tab and blanks", u"\t  7"_s, 7);
        row("number then text", u"12abc"_s, 12);
        row("stops at an inner blank", u"3 4"_s, 3);
        row("fractions", u"1.5"_s, 1.5);
        row("fraction without integer part", u"-.25"_s, -0.25);
        row("trailing point", u"5."_s, 5);
        row("sign and point alone", u"-."_s, 0);
        row("sign then blank", u"- 5"_s, 0);
        row("no exponent", u"1e5"_s, 1);
        row("full-width digits are no digits", u"１２"_s, 0);
        row("huge", u"100000000000000000000"_s, 1e20);
    }
    void numericValueOfText()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(numericValue(text), expected);
    }

    void storedAndShownForms_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("shown");
        QTest::newRow("zero") << 0.0 << u"0"_s << u" 0"_s;
        QTest::newRow("negative zero") << -0.0 << u"0"_s << u" 0"_s;
        QTest::newRow("positive") << 90.0 << u"90"_s << u" 90"_s;
        QTest::newRow("negative") << -30.0 << u"-30"_s << u"-30"_s;
        QTest::newRow("fraction") << -0.25 << u"-0.25"_s << u"-0.25"_s;
        // An exponent would read back as its mantissa.
        QTest::newRow("big") << 1e20 << u"100000000000000000000"_s << u" 100000000000000000000"_s;
        QTest::newRow("tiny") << 1e-7 << u"0.0000001"_s << u" 0.0000001"_s;
    }
    void storedAndShownForms()
    {
        QFETCH(double, value);
        QFETCH(QString, plain);
        QFETCH(QString, shown);
        QCOMPARE(plainNumber(value), plain);
        QCOMPARE(signedForm(value), shown);
    }

    void storedFormsReadBack()
    {
        for (double v :
            { 0.0, 1.0, -1.0, 1.5, -0.25, 0.1, 1e15, 1e20, -1e20, 1e-7, 123456789012.0, 2.5e-12 }) {
            QCOMPARE(numericValue(plainNumber(v)), v);
            QCOMPARE(numericValue(signedForm(v)), v);
        }
    }
};

int runNumericTest(int argc, char **argv)
{
    NumericTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "numeric_test.moc"
