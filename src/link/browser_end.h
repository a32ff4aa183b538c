#pragma once

#include "protocol.h"

#include <QObject>
#include <QPointer>

#include <functional>

class BrowserProfile;
#include "browser_window.h"
class MessageBox;
class MessageChannel;
class QLocalSocket;

// The browser process's end of the link: the window frmWeb and nothing of the
// program. It does what the program tells it (show, navigate, the countdown
// line, the timer menu, the bars, hold, a box over the window, close) and
// reports what happens in the window (the page and its title, a document
// complete, a command of the program's chosen, the geometry as it closes).
class BrowserEnd : public QObject
{
    Q_OBJECT
public:
    using WindowFactory = std::function<BrowserWindow *(const wire::Setup &setup)>;

    // `socket` is the connected link to the program. `notices` shows the
    // boxes the program asks for; it must not wait for the user, or what the
    // program sends next would wait with it. Without a factory the window has
    // the real browser engine.
    BrowserEnd(QLocalSocket *socket, MessageBox &messages, MessageBox &notices, WindowFactory factory = {},
        QObject *parent = nullptr);
    ~BrowserEnd() override;

    BrowserWindow *window() const { return m_window.data(); }

    // Whatever is still to go to the program, sent before the process ends.
    void flush();

Q_SIGNALS:
    // The window has gone, or the program has.
    void finished();

private:
    void receive(const wire::Message &message);
    void send(const wire::Message &message);
    BrowserWindow *ensureWindow();
    void sendLocation();

    QLocalSocket *m_socket;
    MessageChannel *m_channel;
    MessageBox &m_messages;
    MessageBox &m_notices;
    WindowFactory m_factory;
    BrowserProfile *m_profile = nullptr;
    QPointer<BrowserWindow> m_window;
    wire::Setup m_setup;
    QString m_countdown;
};
