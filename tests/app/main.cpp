#include <QApplication>
#include <QTest>

#include <cstring>
#include <memory>

QObject *makeDialogsTest();
QObject *makeLifecycleTest();
QObject *makePlatformTest();
QObject *makeProcessTest();
QObject *makeProgramTest();
QObject *makeSaveFailureTest();
QObject *makeTrayTest();
QObject *makeWindowsTest();

// One executable, several test classes. `test_app TrayTest iconActivation`
// runs one class with the Qt Test arguments that follow its name.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int failed = 0;
    for (auto make : { makeProgramTest, makeLifecycleTest, makeSaveFailureTest, makeDialogsTest, makeTrayTest,
             makePlatformTest, makeProcessTest, makeWindowsTest }) {
        std::unique_ptr<QObject> test(make());
        if (argc > 1 && argv[1][0] != '-') {
            if (std::strcmp(argv[1], test->metaObject()->className()) != 0)
                continue;
            argv[1] = argv[0];
            failed += QTest::qExec(test.get(), argc - 1, argv + 1);
            break;
        }
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
