#include <QCoreApplication>

int runMessageChannelTest(int argc, char **argv);
int runProtocolTest(int argc, char **argv);
int runDocumentReadsTest(int argc, char **argv);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return runMessageChannelTest(argc, argv) + runProtocolTest(argc, argv) + runDocumentReadsTest(argc, argv);
}
