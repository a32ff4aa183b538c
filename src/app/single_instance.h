#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

// One running copy per user session. The lock lives in the user's runtime
// folder (XDG_RUNTIME_DIR), so it is per user, vanishes at logout, and a test
// can give each run a folder of its own. Without one it lives in a folder
// only the user owns (larkvane in the user's cache folder, 0700), never in
// the shared /tmp.
//
// The lock is the kernel's (flock) on that file, held for the life of the
// process: the kernel lets it go however the holder ends, so a copy killed
// at any moment, or a file left empty by a full folder, never keeps the next
// start out. The file's content (the holder's PID) is for people; nothing
// reads it to decide.
//
// Beside the lock the holder listens on a socket only its user may open, so
// that a second start can ask it to come forward: where there is no tray, a
// closed browser window is otherwise the end of the way back to it.
class SingleInstance
{
public:
    enum class Result {
        Acquired,
        HeldByOther,
        // The lock file cannot be opened at all (no runtime folder, read-only
        // disk): nobody can tell whether another copy runs.
        Unavailable,
    };
    // What the running copy said to a second start.
    enum class Answer {
        // It showed its browser window: there is nothing more to say.
        CameForward,
        // It sits in a tray, where the user finds it.
        InTray,
        // No answer (an older copy, one still starting, or one stopped).
        None,
    };

    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    // The lock in `folder`, made 0700 if it is missing; empty where the
    // folder is a link or someone else's.
    static QString privateLockPath(const QString &folder);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    static QString defaultLockPath();

    Result acquire();
    QString lockPath() const { return m_path; }
    QString socketPath() const;

    // The holder: from now on every second start, and every one that came
    // since the lock was taken, calls `comeForward`, which shows the browser
    // window where the desktop has no tray and says whether it did.
    void answerSecondStarts(std::function<bool()> comeForward);
    // A second start: asks the holder, waiting `timeoutMs` at most.
    Answer askHolder(int timeoutMs = 3000) const;

private:
    void listen();
    void takeCallers();
    void answer(QLocalSocket *socket);

    QString m_path;
    int m_fd = -1;
    bool m_held = false;
    std::unique_ptr<QLocalServer> m_server;
    std::function<bool()> m_comeForward;
};
