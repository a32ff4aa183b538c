#include <QCoreApplication>

int runProfileFileTest(int argc, char **argv);
int runPersistenceTest(int argc, char **argv);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return runProfileFileTest(argc, argv) + runPersistenceTest(argc, argv);
}
