#include "twips.h"

#include <QtTest>

class TwipsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scale_data();
    void scale();
};

void TwipsTest::scale_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("back");
    QTest::newRow("96 dpi toolbar") << 96.0 << 600.0 << 40 << 600;
    QTest::newRow("96 dpi button") << 96.0 << 795.0 << 53 << 795;
    QTest::newRow("96 dpi between pixels") << 96.0 << 10000.0 << 667 << 10005;
    QTest::newRow("96 dpi left of the screen") << 96.0 << -300.0 << -20 << -300;
    QTest::newRow("96 dpi half a pixel left") << 96.0 << -8.0 << -1 << -15;
    QTest::newRow("120 dpi toolbar") << 120.0 << 600.0 << 50 << 600;
    QTest::newRow("120 dpi button") << 120.0 << 795.0 << 66 << 792;
    QTest::newRow("120 dpi, 12 a pixel") << 120.0 << -1500.0 << -125 << -1500;
    QTest::newRow("110 dpi, rounded") << 110.0 << 1000.0 << 76 << 995;
    QTest::newRow("144 dpi button") << 144.0 << 795.0 << 80 << 800;
    QTest::newRow("no dpi reported") << 0.0 << 795.0 << 53 << 795;
    // A hand-edited file: every window is clamped alike.
    QTest::newRow("absurd stored width") << 96.0 << 1e14 << 10000000 << 150000000;
    QTest::newRow("absurd stored value") << 96.0 << 1e300 << 10000000 << 150000000;
    QTest::newRow("absurd the other way") << 96.0 << -1e300 << -10000000 << -150000000;
}

void TwipsTest::scale()
{
    QFETCH(double, dpi);
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QFETCH(int, back);
    const TwipsScale scale(dpi, dpi);
    QCOMPARE(scale.toPixelsX(twips), pixels);
    QCOMPARE(scale.toPixelsY(twips), pixels);
    QCOMPARE(scale.fromPixelsX(pixels), back);
    // Every pixel position comes back from its twips unchanged.
    for (int px = -2000; px <= 8000; px += 7)
        QCOMPARE(scale.toPixelsX(scale.fromPixelsX(px)), px);
    // Touching rectangles stay touching.
    if (std::abs(twips) < 1e6) {
        const QRect a = scale.toPixels(QRect(0, 0, int(twips), int(twips)));
        const QRect b = scale.toPixels(QRect(int(twips), 0, 795, 795));
        QCOMPARE(a.right() + 1, b.left());
    }
}

int runTwipsTest(int argc, char **argv)
{
    TwipsTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "twips_test.moc"
