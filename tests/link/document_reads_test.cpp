#include "document_reads.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class DocumentReadsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Each report as "arrive A" or "finish A"; `reads` says, report by
    // report, whether the page was read (r) or not (-).
    void oncePerDocument_data()
    {
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<QString>("reads");
        QTest::newRow("arrival first") << QStringList { u"arrive A"_s, u"finish A"_s } << u"r-"_s;
        QTest::newRow("arrival after a quick finish")
            << QStringList { u"finish A"_s, u"arrive A"_s } << u"r-"_s;
        QTest::newRow("reloads, each read as it arrives")
            << QStringList { u"arrive A"_s, u"finish A"_s, u"arrive A"_s, u"finish A"_s } << u"r-r-"_s;
        QTest::newRow("an error page, reloaded") << QStringList { u"finish A"_s, u"finish A"_s } << u"rr"_s;
        QTest::newRow("the next page before the finish")
            << QStringList { u"arrive A"_s, u"arrive B"_s, u"finish B"_s } << u"rr-"_s;
        QTest::newRow("a finish of another address")
            << QStringList { u"arrive A"_s, u"finish B"_s } << u"rr"_s;
    }
    void oncePerDocument()
    {
        QFETCH(QStringList, reports);
        QFETCH(QString, reads);
        DocumentReads documents;
        QString got;
        for (const QString &report : reports) {
            const QString url = report.section(u' ', 1);
            got += (report.startsWith(u"arrive"_s) ? documents.arrived(url) : documents.finished(url)) ? u'r'
                                                                                                       : u'-';
        }
        QCOMPARE(got, reads);
    }
};

int runDocumentReadsTest(int argc, char **argv)
{
    DocumentReadsTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "document_reads_test.moc"
