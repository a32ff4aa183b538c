#pragma once

#include "browser_host_impl.h"
#include "clock.h"
#include "persistence.h"
#include "qt_message_box.h"
#include "service_clock.h"
#include "services.h"
#include "state_store.h"
#include "status_line.h"
#include "window_registry.h"

#include <QJsonObject>
#include <QObject>

#include <memory>

class MessageChannel;
class QLocalSocket;
class StoreLink;

// The browser process: frmWeb and its engine over a copy of the program's
// store, kept in step through the link socket. It ends when the window
// closes, which is how the browser engine's memory goes back to the system.
// What belongs to the program (the file, the other windows, the bookmarks)
// is asked of it over the link.
class BrowserChild : public QObject
{
    Q_OBJECT
public:
    // `socket` is the connected link to the program.
    explicit BrowserChild(QLocalSocket *socket, QObject *parent = nullptr);
    ~BrowserChild() override;

    // Whatever is still to go to the program, sent before the process ends.
    void flush();

Q_SIGNALS:
    // The window has gone, or the program has.
    void finished();

private:
    class LinkedPersistence;
    class NoSound;
    class NoFiles;

    void receive(const QJsonObject &message);
    void send(const QJsonObject &message);
    void windowCreated(const QString &name, QObject *window);
    void sendLocation();

    QLocalSocket *m_socket;
    MessageChannel *m_channel;
    StateStore m_store;
    StatusLine m_statusLine;
    JapanClock m_machineClock;
    ServiceClock m_clock { m_machineClock };
    QtMessageBox m_messages;
    std::unique_ptr<LinkedPersistence> m_persistence;
    std::unique_ptr<NoSound> m_sound;
    std::unique_ptr<NoFiles> m_files;
    WindowRegistry m_windows;
    BrowserHostImpl m_host;
    std::unique_ptr<Services> m_services;
    std::unique_ptr<StoreLink> m_link;
    bool m_started = false;
};
