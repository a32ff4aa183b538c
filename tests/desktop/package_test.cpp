// The Debian package as a user gets it: built by scripts/package, installed
// with apt-get, started from its menu entry into a notification area, and
// removed again without a trace under /usr. It changes the machine it runs
// on, so it runs only as root, and undoes what it did even when it fails.

#include "desktop_session.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kSource = QStringLiteral(LARKVANE_SOURCE_DIR);

struct Result
{
    int exitCode = -1;
    QByteArray output;
};

Result run(const QString &program, const QStringList &arguments, int timeoutMs = 600000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DEBIAN_FRONTEND"_s, u"noninteractive"_s);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(timeoutMs))
        p.kill();
    p.waitForFinished();
    return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll() };
}

// Waits for another apt or dpkg run on the machine rather than failing.
Result apt(const QStringList &arguments)
{
    return run(
        u"apt-get"_s, QStringList { u"-y"_s, u"-q"_s, u"-o"_s, u"DPkg::Lock::Timeout=600"_s } + arguments);
}

QSet<QString> installedPackages()
{
    QSet<QString> names;
    const Result r = run(u"dpkg-query"_s, { u"-W"_s, u"-f"_s, u"${Package}:${Status}\\n"_s });
    for (const QByteArray &line : r.output.split('\n')) {
        if (line.endsWith(":install ok installed"))
            names << QString::fromUtf8(line.left(line.indexOf(':')));
    }
    return names;
}

// Whatever happens to the test, the package goes again, and with it what
// its installation brought in that the machine did not have.
class Installation
{
public:
    Result install(const QString &deb)
    {
        const QSet<QString> before = installedPackages();
        const Result r = apt({ u"install"_s, deb });
        m_brought = installedPackages() - before;
        return r;
    }
    ~Installation()
    {
        QStringList remove = (m_brought & installedPackages()).values();
        if (remove.isEmpty())
            return;
        remove.prepend(u"remove"_s);
        const Result r = apt(remove);
        if (r.exitCode != 0)
            qWarning("apt-get remove failed:\n%s", r.output.constData());
    }

private:
    QSet<QString> m_brought;
};

} // namespace

class PackageTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void installRunRemove();

private:
    XServer m_server;
};

void PackageTest::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("installs the package with apt-get into this machine: runs only as root (as in CI)");
    if (installedPackages().contains(u"larkvane"_s))
        QSKIP("larkvane is installed on this machine already; the test would replace it");
    if (QStandardPaths::findExecutable(u"trayer"_s).isEmpty() || !m_server.start())
        QSKIP("needs Xvfb and trayer (scripts/packages-test.txt)");
}

void PackageTest::installRunRemove()
{
    const Result built = run(kSource + u"/scripts/package"_s, {}, 2400000);
    QVERIFY2(built.exitCode == 0, built.output.constData());
    const QString deb = QString::fromLocal8Bit(built.output.trimmed().split('\n').last());
    QVERIFY2(deb.endsWith(u".deb"_s) && QFileInfo::exists(deb), built.output.constData());

    Installation installation;
    const Result installed = installation.install(deb);
    QVERIFY2(installed.exitCode == 0, installed.output.constData());
    const QStringList files = QString::fromUtf8(run(u"dpkg-query"_s, { u"-L"_s, u"larkvane"_s }).output)
                                  .split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(files.contains(u"/usr/bin/larkvane-browser"_s));

    // Started as the menu starts it, by a user with nothing yet.
    const QString command
        = execCommand(contents(u"/usr/share/applications/io.github.larkvane.Larkvane.desktop"_s));
    QCOMPARE(command, u"/usr/bin/larkvane-launch"_s);
    {
        XDisplay &x = m_server.x();
        Running host;
        QVERIFY(startTrayHost(m_server, host));
        QTemporaryDir home;
        QTemporaryDir runtime;
        Running program;
        program.p->setProcessEnvironment(session(m_server.display(), home.path(), runtime.path()));
        program.p->setWorkingDirectory(runtime.path());
        program.p->start(command, {});
        QVERIFY(program.p->waitForStarted());

        QVERIFY2(x.waitUntil([&] { return x.dockedIcons(host.pid()).size() == 1; }, 60000),
            "the icon did not dock");
        const QString startPage = u"Larkvane 検索ページ - Larkvane"_s;
        const auto startPageShown = [&] {
            for (qint64 pid : processFamily(program.pid())) {
                for (XDisplay::Window w : x.windowsOf(pid)) {
                    if (x.name(w) == startPage)
                        return true;
                }
            }
            return false;
        };
        QVERIFY2(x.waitUntil(startPageShown, 60000), program.p->readAllStandardError().constData());
        QCOMPARE(QFileInfo(u"/proc/%1/exe"_s.arg(program.pid())).canonicalFilePath(), u"/usr/bin/larkvane"_s);

        ::kill(pid_t(program.pid()), SIGTERM);
        QVERIFY(program.p->waitForFinished(30000));
        QCOMPARE(program.p->exitCode(), 0);
        QVERIFY(QFileInfo::exists(home.filePath(u".local/share/larkvane/larkvane.ini"_s)));
    }

    const Result removed = apt({ u"remove"_s, u"larkvane"_s });
    QVERIFY2(removed.exitCode == 0, removed.output.constData());
    QVERIFY(!installedPackages().contains(u"larkvane"_s));
    // What stays is only a folder that other packages fill as well.
    for (const QString &path : files) {
        const QFileInfo left(path);
        QVERIFY2(!left.exists() || (left.isDir() && !QDir(path).isEmpty()), qPrintable(path));
    }
}

QTEST_GUILESS_MAIN(PackageTest)
#include "package_test.moc"
