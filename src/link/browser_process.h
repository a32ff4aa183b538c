#pragma once

#include "browser_host.h"

#include <QObject>
#include <QProcess>
#include <QString>

class MessageChannel;
class ProgramEnd;
class QLocalSocket;
struct Services;

// The browser window as the program sees it: a process of its own
// (larkvane-browser), started when the window opens and ended when it closes,
// so that the browser engine's memory goes with it. Everything the window
// asks of the program is carried out by the ProgramEnd of its link.
//
// It is the registry's frmWeb, so that the exit closes it in its place among
// the windows and waits for the geometry it stores as it goes.
class BrowserProcess : public QObject, public BrowserHost
{
    Q_OBJECT
public:
    // `program` is the browser executable; by default the one beside ours.
    explicit BrowserProcess(QString program = {}, QObject *parent = nullptr);
    ~BrowserProcess() override;

    // What the window works with; registers frmWeb. Nothing opens before.
    void attach(Services &services);

    void showBrowser() override;
    void navigate(const QString &address) override;
    bool isOpen() const override;
    QString locationUrl() const override;
    QString locationName() const override;
    PageLinks pageLinks() const override;
    // The window lives in another process: never an owner here.
    QObject *window() const override { return nullptr; }
    void applyBars(int toolbar, int buttons) override;

    // Closes the window and waits (a few seconds at most) for the process to
    // hand over what it stores as it closes, and to end.
    bool close();

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
    bool start();
    void finished(int code, QProcess::ExitStatus status);
    void linkLost();
    void tearDown();

    // Asked of a window that has closed while its process ends: done by the
    // next process.
    bool m_reopen = false;
    QString m_reopenAt;
    Services *m_services = nullptr;
    QString m_program;
    QProcess *m_process = nullptr;
    QLocalSocket *m_socket = nullptr;
    MessageChannel *m_channel = nullptr;
    ProgramEnd *m_end = nullptr;
    bool m_closing = false;
};
