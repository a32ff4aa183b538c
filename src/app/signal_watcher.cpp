#include "signal_watcher.h"

#include "log.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int s_fds[2] = { -1, -1 };

extern "C" void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: should the pair ever fill up, the signal is dropped
    // rather than the handler hanging the program.
    if (::write(s_fds[0], &byte, 1) < 0) { }
    errno = savedErrno;
}

} // namespace

SignalWatcher::SignalWatcher(const QList<int> &signalNumbers, QObject *parent)
    : QObject(parent)
    , m_signals(signalNumbers)
{
    if (s_fds[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, s_fds) != 0) {
        s_fds[0] = s_fds[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(s_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::drain);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : std::as_const(m_signals))
        ::sigaction(number, &action, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    if (!m_notifier)
        return;
    struct sigaction action = {};
    action.sa_handler = m_ignoring ? SIG_IGN : SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number : std::as_const(m_signals))
        ::sigaction(number, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(s_fds[0]);
    ::close(s_fds[1]);
    s_fds[0] = s_fds[1] = -1;
}

void SignalWatcher::ignoreFromNowOn()
{
    m_ignoring = true;
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    for (int number : std::as_const(m_signals))
        ::sigaction(number, &action, nullptr);
}

void SignalWatcher::drain()
{
    unsigned char buffer[16];
    for (;;) {
        const ssize_t n = ::read(s_fds[1], buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            qCInfo(lcTray) << "signal" << int(buffer[i]) << "received";
            Q_EMIT received(buffer[i]);
        }
    }
}
