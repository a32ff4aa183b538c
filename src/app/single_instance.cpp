#include "single_instance.h"

#include "log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// One line each way: the question, and one of the two answers.
const QByteArray kComeForward = "come-forward\n";
const QByteArray kCameForward = "came-forward\n";
const QByteArray kInTray = "in-tray\n";
constexpr qint64 kLineMax = 64;
// A peer that says nothing is not waited for.
constexpr int kPeerPatienceMs = 5000;

} // namespace

SingleInstance::SingleInstance(const QString &lockPath)
    : m_path(lockPath)
{
}

SingleInstance::~SingleInstance()
{
    m_server.reset();
    // The file stays: removing it would let a copy starting now lock a new
    // file while a third still waits on the old one, and both would run.
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SingleInstance::defaultLockPath()
{
    // Without a runtime folder Qt would make one of its own in the shared
    // /tmp, by a name anyone can take first: the lock goes to a folder under
    // the user's home instead, which no one else can make.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return privateLockPath(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
                                   .filePath(u"larkvane"_s));
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : QDir(runtime).filePath(u"larkvane.lock"_s);
}

QString SingleInstance::privateLockPath(const QString &folder)
{
    if (folder.isEmpty())
        return QString();
    const QByteArray path = QFile::encodeName(folder);
    // The cache folder itself may be missing on a fresh account.
    QDir().mkpath(QFileInfo(folder).path());
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    // A folder of someone else's, or a link to one, is not the user's.
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        qCWarning(lcTray).noquote() << "not using" << folder
                                    << "for the lock: not a folder of this user's own";
        return QString();
    }
    if ((st.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return QString();
    return QDir(folder).filePath(u"larkvane.lock"_s);
}

SingleInstance::Result SingleInstance::acquire()
{
    if (m_held)
        return Result::Acquired;
    if (m_path.isEmpty())
        return Result::Unavailable;
    if (m_fd < 0) {
        // Close-on-exec: the browser process must not inherit the lock and
        // hold it after this process is gone. No following of links, for the
        // shared temporary folder.
        const QByteArray path = QFile::encodeName(m_path);
        do
            m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0)
            return Result::Unavailable;
    }
    int locked = 0;
    do
        locked = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0)
        return errno == EWOULDBLOCK ? Result::HeldByOther : Result::Unavailable;
    m_held = true;
    // At once, so that a second start finds someone to ask however early it
    // comes; it is answered once start-up is done.
    listen();

    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(m_fd, 0) == 0 && ::pwrite(m_fd, pid.constData(), size_t(pid.size()), 0) < 0) { }
    return Result::Acquired;
}

QString SingleInstance::socketPath() const
{
    QString path = m_path;
    if (path.endsWith(u".lock"_s))
        path.chop(5);
    return path + u".socket"_s;
}

void SingleInstance::listen()
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock's holder gets here, so a socket found there was left by
    // a copy that has ended.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        qCWarning(lcTray) << "a second start cannot reach this copy:" << m_server->errorString();
        m_server.reset();
    }
}

void SingleInstance::answerSecondStarts(std::function<bool()> comeForward)
{
    if (!m_server)
        return;
    m_comeForward = std::move(comeForward);
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this] { takeCallers(); });
    // Those who called while start-up was still running.
    takeCallers();
}

void SingleInstance::takeCallers()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kPeerPatienceMs, socket, &QLocalSocket::abort);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { answer(socket); });
        if (socket->canReadLine())
            answer(socket);
    }
}

void SingleInstance::answer(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kLineMax)
            socket->abort();
        return;
    }
    if (socket->readLine(kLineMax) != kComeForward) {
        socket->abort();
        return;
    }
    // Showing the window may put up a box with its own event loop, in which
    // the caller may go.
    const QPointer<QLocalSocket> caller(socket);
    const bool came = m_comeForward();
    qCInfo(lcTray) << "a second start asked this copy to come forward:"
                   << (came ? "the browser window is shown" : "it is in the tray");
    if (caller) {
        caller->write(came ? kCameForward : kInTray);
        caller->disconnectFromServer();
    }
}

SingleInstance::Answer SingleInstance::askHolder(int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return Answer::None;
    socket.write(kComeForward);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return Answer::None;
    while (!socket.canReadLine() && socket.bytesAvailable() <= kLineMax
        && socket.waitForReadyRead(int(deadline.remainingTime()))) { }
    const QByteArray line = socket.readLine(kLineMax);
    if (line == kCameForward)
        return Answer::CameForward;
    if (line == kInTray)
        return Answer::InTray;
    return Answer::None;
}
