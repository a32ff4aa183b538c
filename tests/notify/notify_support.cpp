#include "notify_support.h"

#include "settings_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Debian's, which python3-aiosmtpd installs into, before any other on PATH.
QString pythonProgram()
{
    return QFile::exists(u"/usr/bin/python3"_s) ? u"/usr/bin/python3"_s : u"python3"_s;
}

} // namespace

QString SmtpTestServer::missing()
{
    if (QStandardPaths::findExecutable(u"openssl"_s).isEmpty())
        return u"openssl"_s;
    QProcess python;
    python.start(pythonProgram(), { u"-c"_s, u"import aiosmtpd"_s });
    if (!python.waitForFinished(10000) || python.exitStatus() != QProcess::NormalExit
        || python.exitCode() != 0)
        return u"python3-aiosmtpd"_s;
    return {};
}

bool SmtpTestServer::makeCertificate(const QString &dir)
{
    QProcess openssl;
    openssl.start(u"openssl"_s,
        { u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s,
            u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s, u"/CN=localhost"_s, u"-addext"_s,
            u"subjectAltName=DNS:localhost,IP:127.0.0.1"_s, u"-keyout"_s, QDir(dir).filePath(u"key.pem"_s),
            u"-out"_s, QDir(dir).filePath(u"cert.pem"_s) });
    return openssl.waitForFinished(30000) && openssl.exitCode() == 0;
}

SmtpTestServer::~SmtpTestServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool SmtpTestServer::start(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(pythonProgram(),
        QStringList { QStringLiteral(LARKVANE_SOURCE_DIR "/tests/notify/smtp_server.py") } + arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(15000))
            return false;
    }
    m_port = QJsonDocument::fromJson(m_process.readLine()).object().value(u"port"_s).toInt();
    return m_port > 0;
}

QList<QJsonObject> SmtpTestServer::messages()
{
    while (m_process.canReadLine())
        m_messages << QJsonDocument::fromJson(m_process.readLine()).object();
    return m_messages;
}

SettingsHarness::SettingsHarness()
{
    t.services.remote = &remote;
    owner.show();
    t.browser.owner = &owner;
    registerSettingsWindows(t.windows, t.services);
    dialog = qobject_cast<QWidget *>(t.windows.open(u"frmConf"_s, &owner));
}

void SettingsHarness::fill(const QString &fields)
{
    for (const QString &f : fields.split(u';', Qt::SkipEmptyParts)) {
        const QString name = f.section(u'=', 0, 0);
        if (auto *box = dialog->findChild<QCheckBox *>(name))
            box->setChecked(true);
        else
            dialog->findChild<QLineEdit *>(name)->setText(f.section(u'=', 1));
    }
}

void SettingsHarness::pressClose()
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
}
