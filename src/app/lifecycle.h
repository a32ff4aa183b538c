#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

struct Services;

// The program's orderly end. Closing the store writes settings and slots to
// larkvane.ini, removes the tray icon and closes every other window; the two
// exits differ only in which windows close before the file is written. The
// tray's exit, the exit confirmation, termination signals and the end of the
// desktop session all come here, and it runs once.
class Lifecycle : public QObject
{
    Q_OBJECT
public:
    using Quit = std::function<void(int exitCode)>;

    explicit Lifecycle(Services &services, QObject *parent = nullptr);

    void setTrayRemover(std::function<void()> removeTrayIcon)
    {
        m_removeTrayIcon = std::move(removeTrayIcon);
    }
    // Default: QCoreApplication::exit.
    void setQuit(Quit quit) { m_quit = std::move(quit); }

    bool hasClosed() const { return m_closed; }

    // Windows the confirmed exit closes, in order, before the store.
    static QStringList confirmedExitOrder();
    // Windows closing the store closes after the file and the icon, in order.
    static QStringList storeCloseOrder();

public Q_SLOTS:
    // Tray "終了" (and signals, session end): the browser window, then the store.
    void exitFromTray();
    // "終　了" in the exit confirmation: every window, then the store.
    void exitConfirmed();
    // Without ending the process: for a quit that something else started.
    void closeStore();

private:
    void end();

    Services &m_services;
    std::function<void()> m_removeTrayIcon;
    Quit m_quit;
    bool m_exiting = false;
    bool m_closed = false;
};
