#pragma once

#include "browser_host.h"
#include "message_box.h"

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

class MessageChannel;
class QLocalSocket;
class StoreLink;
class Persistence;
class StateStore;
class StatusLine;
class WindowRegistry;

// The browser window as the program sees it: a process of its own
// (larkvane-browser), started when the window opens and ended when it closes,
// so that the browser engine's memory goes with it. The process keeps a copy
// of the store in step over a socket pair; its saves, its requests for the
// program's windows and its bookmark additions come back over the same link.
//
// Registered as frmWeb, so that the exit closes it in its place among the
// windows and waits for the geometry it stores as it goes.
class BrowserProcess : public QObject, public BrowserHost
{
    Q_OBJECT
    Q_PROPERTY(bool visible READ isOpen)
public:
    // What the link needs of the program, which exists before its Services.
    struct Parts
    {
        StateStore &store;
        StatusLine &statusLine;
        Persistence &persistence;
        WindowRegistry &windows;
        MessageBox &messages;
    };

    // `program` is the browser executable; by default the one beside ours.
    explicit BrowserProcess(Parts parts, QString program = {}, QObject *parent = nullptr);
    ~BrowserProcess() override;

    // Makes this the registry's frmWeb.
    void registerWindow();

    // "このページを追加する" arrives from the browser process; `messages`
    // shows its answers over the browser window.
    void setBookmarkAdder(std::function<void(MessageBox &messages)> add) { m_addBookmark = std::move(add); }

    void showBrowser() override;
    void navigate(const QString &address) override;
    bool isOpen() const override;
    QString locationUrl() const override { return m_locationUrl; }
    QString locationName() const override { return m_locationName; }
    // The window lives in another process: never an owner here.
    QObject *window() const override { return nullptr; }
    void applyBars(int toolbar, int buttons) override;

    // Closes the window and waits (a few seconds at most) for the process to
    // hand over what it stores as it closes, and to end.
    Q_INVOKABLE bool close();

    bool isRunning() const;
    // The browser process, while it runs; else 0.
    qint64 processId() const;

Q_SIGNALS:
    // The User-Agent the browser sends, once a window has told it.
    void userAgentChanged(const QString &agent);
    // The window has come up on the screen.
    void shown();
    // The process has ended (closed, or gone wrong).
    void ended();

private:
    class BrowserMessages;

    bool start();
    void send(const QJsonObject &message);
    void receive(const QJsonObject &message);
    void openProgramWindow(const QString &name, const QString &browserWinId);
    void finished(int code, QProcess::ExitStatus status);
    void tearDown();

    Parts m_parts;
    QString m_program;
    std::unique_ptr<BrowserMessages> m_messages;
    QProcess *m_process = nullptr;
    QLocalSocket *m_socket = nullptr;
    MessageChannel *m_channel = nullptr;
    std::unique_ptr<StoreLink> m_link;
    std::function<void(MessageBox &)> m_addBookmark;
    QString m_locationUrl;
    QString m_locationName;
    bool m_shown = false;
    bool m_closing = false;
    int m_holds = 0;
};
