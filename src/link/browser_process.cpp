#include "browser_process.h"

#include "log.h"
#include "message_box.h"
#include "message_channel.h"
#include "program_end.h"
#include "services.h"
#include "window_registry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QPointer>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString kName = u"frmWeb"_s;
// The descriptor the browser process finds its link on.
constexpr int kLinkFd = 3;
constexpr int kCloseWaitMs = 10000;
constexpr int kAnswerWaitMs = 1000;

} // namespace

BrowserProcess::BrowserProcess(QString program, QObject *parent)
    : QObject(parent)
    , m_program(program.isEmpty()
              ? QDir(QCoreApplication::applicationDirPath()).filePath(u"larkvane-browser"_s)
              : std::move(program))
{
    setObjectName(kName);
}

BrowserProcess::~BrowserProcess()
{
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    tearDown();
}

void BrowserProcess::attach(Services &services)
{
    m_services = &services;
    WindowRegistry::Calls calls;
    calls.close = [this](QObject *) { return close(); };
    calls.shown = [this](const QObject *) { return isOpen(); };
    services.windows.registerWindow(
        kName, [this](QObject *) -> QObject * { return this; }, [this](QObject *) { showBrowser(); },
        std::move(calls));
}

bool BrowserProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

qint64 BrowserProcess::processId() const
{
    return isRunning() ? m_process->processId() : 0;
}

bool BrowserProcess::isOpen() const
{
    return isRunning() && m_end && m_end->isShown();
}

QString BrowserProcess::locationUrl() const
{
    return m_end ? m_end->locationUrl() : QString();
}

QString BrowserProcess::locationName() const
{
    return m_end ? m_end->locationName() : QString();
}

PageLinks BrowserProcess::pageLinks() const
{
    return m_end ? m_end->pageLinks() : PageLinks();
}

bool BrowserProcess::start()
{
    if (isRunning())
        return true;
    tearDown();
    if (!m_services)
        return false;

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        qCWarning(lcBrowser) << "no socket pair for the browser process:" << strerror(errno);
        return false;
    }
    const int childEnd = fds[1];
    m_socket = new QLocalSocket(this);
    if (!m_socket->setSocketDescriptor(fds[0])) {
        ::close(fds[0]);
        ::close(childEnd);
        tearDown();
        return false;
    }
    m_channel = new MessageChannel(m_socket, this);
    connect(m_channel, &MessageChannel::closed, this, &BrowserProcess::linkLost);

    m_process = new QProcess(this);
    m_process->setProgram(m_program);
    m_process->setArguments({ u"--link-fd"_s, QString::number(kLinkFd) });
    m_process->setWorkingDirectory(QDir::currentPath());
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    m_process->setChildProcessModifier([childEnd] {
        // Only async-signal-safe calls here, between fork and exec.
        if (childEnd == kLinkFd)
            ::fcntl(kLinkFd, F_SETFD, 0);
        else
            ::dup2(childEnd, kLinkFd);
        // Should the program die without a word, the browser goes with it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    connect(m_process, &QProcess::finished, this, &BrowserProcess::finished);
    m_process->start();
    ::close(childEnd);
    if (!m_process->waitForStarted(10000)) {
        qCWarning(lcBrowser) << "the browser process did not start:" << m_program << m_process->errorString();
        tearDown();
        m_services->messages.show(u"ブラウザを起動できませんでした。"_s, nullptr);
        return false;
    }
    qCInfo(lcBrowser) << "browser process" << m_process->processId() << "started";
    m_end = new ProgramEnd(*m_channel, *m_services, this);
    connect(m_end, &ProgramEnd::userAgentChanged, this, &BrowserProcess::userAgentChanged);
    connect(m_end, &ProgramEnd::shown, this, &BrowserProcess::shown);
    // However it was opened, the registry knows frmWeb is up, so that the
    // exit closes it in its turn and waits for what it stores.
    m_services->windows.ensure(kName);
    return true;
}

void BrowserProcess::showBrowser()
{
    if (isRunning() && m_end && m_end->hasClosed()) {
        m_reopen = true;
        return;
    }
    if (start())
        m_end->show();
}

void BrowserProcess::navigate(const QString &address)
{
    if (isRunning() && m_end && m_end->hasClosed()) {
        m_reopen = true;
        m_reopenAt = address;
        return;
    }
    const bool running = isRunning();
    if (!start())
        return;
    if (!running)
        m_end->show();
    m_end->navigate(address);
}

void BrowserProcess::applyBars(int toolbar, int buttons)
{
    if (isRunning() && m_end)
        m_end->applyBars(toolbar, buttons);
}

bool BrowserProcess::close()
{
    if (!isRunning())
        return true;
    m_closing = true;
    if (m_end)
        m_end->close();
    if (m_socket)
        m_socket->flush();
    // The geometry and its save arrive while we wait; they must be in the
    // store before whoever closed us writes the file.
    QPointer<QProcess> process = m_process;
    const QDeadlineTimer deadline(kCloseWaitMs);
    // A process that has not even answered by then is stopped or hung: the
    // exit does not wait the whole time on it.
    const QDeadlineTimer answer(kAnswerWaitMs);
    const auto answered = [this] { return !m_end || m_end->hasClosed(); };
    while (process && process->state() != QProcess::NotRunning && !deadline.hasExpired()
        && (answered() || !answer.hasExpired())) {
        if (m_socket)
            m_socket->waitForReadyRead(50);
        if (m_channel)
            m_channel->drain();
        if (process)
            process->waitForFinished(0);
    }
    if (process && process->state() != QProcess::NotRunning) {
        qCWarning(lcBrowser).nospace() << "the browser process did not end in time"
                                       << (answered() ? "" : ", nor answer") << "; stopping it";
        process->kill();
        process->waitForFinished(3000);
    }
    m_closing = false;
    return true;
}

void BrowserProcess::linkLost()
{
    // Without its link the window can do nothing for anyone: it is gone, as
    // if it had been killed.
    if (m_closing || !isRunning())
        return;
    qCWarning(lcBrowser) << "the link to the browser process is lost; the process is stopped";
    m_process->kill();
}

void BrowserProcess::finished(int code, QProcess::ExitStatus status)
{
    // What the process said last is still on the socket.
    if (m_socket) {
        while (m_socket->waitForReadyRead(0)) { }
    }
    if (m_channel)
        m_channel->drain();
    if (status != QProcess::NormalExit || code != 0)
        qCWarning(lcBrowser) << "the browser process ended with status" << status << "code" << code;
    else
        qCInfo(lcBrowser) << "browser process ended";
    // The held dialogs stay; they hold nothing now.
    tearDown();
    Q_EMIT ended();
    // A window asked for while the last one was closing (a second start, a
    // click on the icon) comes up now; never during the exit.
    const QString address = std::exchange(m_reopenAt, QString());
    if (std::exchange(m_reopen, false) && !m_closing) {
        if (address.isEmpty())
            showBrowser();
        else
            navigate(address);
    }
}

// Later deletion: this may run inside a signal of the process or the socket.
void BrowserProcess::tearDown()
{
    for (QObject *part : std::initializer_list<QObject *> { m_end, m_channel, m_socket, m_process }) {
        if (part) {
            part->disconnect(this);
            part->deleteLater();
        }
    }
    m_end = nullptr;
    m_channel = nullptr;
    m_socket = nullptr;
    m_process = nullptr;
}
