#include <QCoreApplication>

int runMarkerRecognizerTests(int argc, char **argv);
int runItemDataTests(int argc, char **argv);
int runPageFetcherTests(int argc, char **argv);
int runPageWatcherTests(int argc, char **argv);
int runRegistrationTests(int argc, char **argv);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (auto run : { runMarkerRecognizerTests, runItemDataTests, runPageFetcherTests, runPageWatcherTests,
             runRegistrationTests })
        failed += run(argc, argv);
    return failed;
}
