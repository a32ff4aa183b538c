#include <QApplication>

int runCp932CodecTest(int argc, char **argv);
int runNumericTest(int argc, char **argv);
int runWindowRegistryTest(int argc, char **argv);
int runTwipsTest(int argc, char **argv);
int runTimeTextTest(int argc, char **argv);
int runDisplayTextTest(int argc, char **argv);

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return runCp932CodecTest(argc, argv) + runNumericTest(argc, argv) + runWindowRegistryTest(argc, argv)
        + runTwipsTest(argc, argv) + runTimeTextTest(argc, argv) + runDisplayTextTest(argc, argv);
}
