#include "browser_process.h"

#include "log.h"
#include "message_channel.h"
#include "persistence.h"
#include "state_store.h"
#include "status_line.h"
#include "store_link.h"
#include "window_registry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString kName = u"frmWeb"_s;
// The descriptor the browser process finds its link on.
constexpr int kLinkFd = 3;
constexpr int kCloseWaitMs = 10000;

} // namespace

// Boxes asked for while the browser window is up are shown by it, over it;
// otherwise by the program.
class BrowserProcess::BrowserMessages final : public MessageBox
{
public:
    explicit BrowserMessages(BrowserProcess &process)
        : m_process(process)
    {
    }
    void show(const QString &text, QObject *owner) override
    {
        if (m_process.isOpen())
            m_process.send({ { u"op"_s, u"message"_s }, { u"text"_s, text } });
        else
            m_process.m_parts.messages.show(text, owner);
    }

private:
    BrowserProcess &m_process;
};

BrowserProcess::BrowserProcess(Parts parts, QString program, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
    , m_program(program.isEmpty()
              ? QDir(QCoreApplication::applicationDirPath()).filePath(u"larkvane-browser"_s)
              : std::move(program))
    , m_messages(std::make_unique<BrowserMessages>(*this))
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

void BrowserProcess::registerWindow()
{
    m_parts.windows.registerWindow(
        kName, [this](QObject *) -> QObject * { return this; }, [this](QObject *) { showBrowser(); });
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
    return isRunning() && m_shown;
}

bool BrowserProcess::start()
{
    if (isRunning())
        return true;
    tearDown();

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
    connect(m_channel, &MessageChannel::received, this, &BrowserProcess::receive);

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
        m_parts.messages.show(u"ブラウザを起動できませんでした。"_s, nullptr);
        return false;
    }
    qCInfo(lcBrowser) << "browser process" << m_process->processId() << "started";
    // However it was opened, the registry knows frmWeb is up, so that the
    // exit closes it in its turn and waits for what it stores.
    m_parts.windows.ensure(kName);
    m_link = std::make_unique<StoreLink>(
        m_parts.store, m_parts.statusLine, StoreLink::Side::Owner, [this](const QJsonObject &m) { send(m); });
    send(m_link->snapshot());
    return true;
}

void BrowserProcess::send(const QJsonObject &message)
{
    if (m_channel)
        m_channel->send(message);
}

void BrowserProcess::showBrowser()
{
    if (start())
        send({ { u"op"_s, u"show"_s } });
}

void BrowserProcess::navigate(const QString &address)
{
    if (start())
        send({ { u"op"_s, u"navigate"_s }, { u"address"_s, address } });
}

void BrowserProcess::applyBars(int toolbar, int buttons)
{
    if (isRunning())
        send({ { u"op"_s, u"bars"_s }, { u"toolbar"_s, toolbar }, { u"buttons"_s, buttons } });
}

bool BrowserProcess::close()
{
    if (!isRunning())
        return true;
    m_closing = true;
    send({ { u"op"_s, u"close"_s } });
    if (m_socket)
        m_socket->flush();
    // The geometry and the save arrive while we wait; they must be in the
    // store before whoever closed us writes the file.
    QPointer<QProcess> process = m_process;
    const QDeadlineTimer deadline(kCloseWaitMs);
    while (process && process->state() != QProcess::NotRunning && !deadline.hasExpired()) {
        if (m_socket)
            m_socket->waitForReadyRead(50);
        if (m_channel)
            m_channel->drain();
        if (process)
            process->waitForFinished(0);
    }
    if (process && process->state() != QProcess::NotRunning) {
        qCWarning(lcBrowser) << "the browser process did not end within" << kCloseWaitMs << "ms; stopping it";
        process->kill();
        process->waitForFinished(3000);
    }
    m_closing = false;
    return true;
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
}

// Later deletion: this may run inside a signal of the process or the socket.
void BrowserProcess::tearDown()
{
    m_link.reset();
    for (QObject *part : std::initializer_list<QObject *> { m_channel, m_socket, m_process }) {
        if (part) {
            part->disconnect(this);
            part->deleteLater();
        }
    }
    m_channel = nullptr;
    m_socket = nullptr;
    m_process = nullptr;
    m_shown = false;
    m_holds = 0;
}

void BrowserProcess::receive(const QJsonObject &message)
{
    if (m_link && m_link->receive(message))
        return;
    const QString op = message.value(u"op"_s).toString();
    if (op == u"save"_s) {
        m_parts.persistence.save();
    } else if (op == u"shown"_s) {
        m_shown = true;
        Q_EMIT shown();
    } else if (op == u"location"_s) {
        m_locationUrl = message.value(u"url"_s).toString();
        m_locationName = message.value(u"name"_s).toString();
    } else if (op == u"agent"_s) {
        Q_EMIT userAgentChanged(message.value(u"text"_s).toString());
    } else if (op == u"bookmark"_s) {
        m_locationUrl = message.value(u"url"_s).toString();
        m_locationName = message.value(u"name"_s).toString();
        if (m_addBookmark)
            m_addBookmark(*m_messages);
    } else if (op == u"open"_s) {
        if (!m_closing)
            openProgramWindow(message.value(u"name"_s).toString(), message.value(u"win"_s).toString());
    } else {
        qCWarning(lcBrowser) << "unknown message from the browser process:" << op;
    }
}

void BrowserProcess::openProgramWindow(const QString &name, const QString &browserWinId)
{
    // A name from another process: only these, never the alert window.
    if (!BrowserHost::programWindows().contains(name))
        return;
    const bool existed = m_parts.windows.find(name) != nullptr;
    auto *w = qobject_cast<QWidget *>(m_parts.windows.open(name, nullptr));
    // The status list is no dialog; the others hold the browser window as
    // they would in one process.
    if (!w || existed || name == u"frmAlarm"_s)
        return;
    bool ok = false;
    const WId id = browserWinId.toULongLong(&ok);
    if (ok && id && w->windowHandle()) {
        if (QWindow *browser = QWindow::fromWinId(id)) {
            w->windowHandle()->setTransientParent(browser);
            connect(w, &QObject::destroyed, browser, &QObject::deleteLater);
        }
    }
    ++m_holds;
    send({ { u"op"_s, u"hold"_s }, { u"on"_s, true } });
    QPointer<QProcess> process = m_process;
    connect(w, &QObject::destroyed, this, [this, process] {
        // A dialog of an earlier browser process holds nothing now.
        if (!process || process != m_process || m_holds == 0)
            return;
        if (--m_holds == 0)
            send({ { u"op"_s, u"hold"_s }, { u"on"_s, false } });
    });
}
