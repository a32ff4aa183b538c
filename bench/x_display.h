#pragma once

#include <QList>
#include <QString>

#include <functional>

struct xcb_connection_t;

// What an X server shows, watched from outside the program: top-level
// windows of a process, their names, and the icons a tray host has docked.
class XDisplay
{
public:
    using Window = quint32;

    // The display of $DISPLAY unless one is named (":3").
    explicit XDisplay(const QString &display = {});
    ~XDisplay();
    XDisplay(const XDisplay &) = delete;
    XDisplay &operator=(const XDisplay &) = delete;

    bool isOpen() const { return m_connection != nullptr; }

    // Mapped top-level windows whose _NET_WM_PID is `pid`.
    QList<Window> windowsOf(qint64 pid);
    QString name(Window w);

    // The windows of other clients inside the tray host's windows, mapped:
    // the icons it has docked.
    QList<Window> dockedIcons(qint64 trayHostPid);

    // Asks the window to close, as a window manager's close button does.
    void requestClose(Window w);

    // Returns as soon as `done` holds, checking at every event on the screen
    // and at least every `pollMs`; false when `timeoutMs` passed first.
    bool waitUntil(const std::function<bool()> &done, int timeoutMs, int pollMs = 5);

private:
    QList<Window> children(Window w);
    QList<Window> descendants(Window w);
    bool viewable(Window w);
    qint64 pidOf(Window w);
    quint32 atom(const char *name);
    void drainEvents();

    xcb_connection_t *m_connection = nullptr;
    Window m_root = 0;
};
