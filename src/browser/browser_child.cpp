#include "browser_child.h"

#include "browser_engine.h"
#include "browser_window.h"
#include "file_dialog.h"
#include "log.h"
#include "message_channel.h"
#include "sound_player.h"
#include "store_link.h"

#include <QDir>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString kBrowser = u"frmWeb"_s;

} // namespace

class BrowserChild::LinkedPersistence final : public Persistence
{
public:
    LinkedPersistence(StateStore &store, BrowserChild &child)
        : Persistence(store, QDir::currentPath())
        , m_child(child)
    {
    }
    // Every change this process made has gone ahead of this on the link, so
    // the program writes them all.
    bool save() override
    {
        m_child.send({ { u"op"_s, u"save"_s } });
        return true;
    }

private:
    BrowserChild &m_child;
};

class BrowserChild::NoSound final : public SoundPlayer
{
public:
    void play(const QString &) override { }
};

class BrowserChild::NoFiles final : public FileDialog
{
public:
    QString openFile(QObject *, const QString &, const QString &) override { return {}; }
};

BrowserChild::BrowserChild(QLocalSocket *socket, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_channel(new MessageChannel(socket, this))
    , m_persistence(std::make_unique<LinkedPersistence>(m_store, *this))
    , m_sound(std::make_unique<NoSound>())
    , m_files(std::make_unique<NoFiles>())
    , m_host(m_windows)
{
    m_store.setTicking(false);
    m_services = std::make_unique<Services>(Services {
        m_store, *m_persistence, m_clock, m_messages, *m_sound, m_windows, m_statusLine, m_host, *m_files });
    m_link = std::make_unique<StoreLink>(
        m_store, m_statusLine, StoreLink::Side::Mirror, [this](const QJsonObject &m) { send(m); });

    registerBrowserWindow(m_windows, *m_services, BrowserWindowHooks { .addBookmark = [this](QObject *owner) {
        auto *w = qobject_cast<BrowserWindow *>(owner);
        send({ { u"op"_s, u"bookmark"_s }, { u"url"_s, w ? w->locationUrl() : QString() },
            { u"name"_s, w ? w->locationName() : QString() } });
    } });
    for (const QString &name : BrowserHost::programWindows()) {
        m_windows.registerWindow(name, [this, name](QObject *owner) -> QObject * {
            auto *w = qobject_cast<QWidget *>(owner);
            // On X11 the program's dialog can stand over this window as its
            // own would.
            const bool x11 = QGuiApplication::platformName() == u"xcb"_s;
            send({ { u"op"_s, u"open"_s }, { u"name"_s, name },
                { u"win"_s, w && x11 ? QString::number(w->window()->winId()) : QString() } });
            return nullptr;
        });
    }
    connect(&m_windows, &WindowRegistry::windowCreated, this, &BrowserChild::windowCreated);
    connect(m_channel, &MessageChannel::received, this, &BrowserChild::receive);
    connect(m_channel, &MessageChannel::closed, this, [this] {
        qCInfo(lcBrowser) << "the program has gone; the browser window closes";
        m_windows.close(kBrowser);
        Q_EMIT finished();
    });
}

BrowserChild::~BrowserChild()
{
    // The window refers to the services below.
    delete m_windows.find(kBrowser);
}

void BrowserChild::send(const QJsonObject &message)
{
    m_channel->send(message);
}

void BrowserChild::flush()
{
    while (m_socket->state() == QLocalSocket::ConnectedState && m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(3000))
            break;
    }
}

void BrowserChild::receive(const QJsonObject &message)
{
    if (m_link->receive(message))
        return;
    const QString op = message.value(u"op"_s).toString();
    auto *window = m_windows.find<BrowserWindow>(kBrowser);
    if (op == u"show"_s) {
        m_windows.open(kBrowser);
        send({ { u"op"_s, u"shown"_s } });
    } else if (op == u"navigate"_s) {
        m_host.navigate(message.value(u"address"_s).toString());
    } else if (op == u"bars"_s) {
        m_host.applyBars(message.value(u"toolbar"_s).toInt(-1), message.value(u"buttons"_s).toInt(-1));
    } else if (op == u"hold"_s) {
        // A dialog of the program's, opened from here, holds this window as
        // its own dialogs would.
        if (window)
            window->setEnabled(!message.value(u"on"_s).toBool());
    } else if (op == u"message"_s) {
        QtMessageBox::showWithoutWaiting(message.value(u"text"_s).toString(), window);
    } else if (op == u"close"_s) {
        if (window)
            m_windows.close(kBrowser);
        else
            Q_EMIT finished();
    } else {
        qCWarning(lcBrowser) << "unknown message from the program:" << op;
    }
}

void BrowserChild::windowCreated(const QString &name, QObject *object)
{
    auto *window = qobject_cast<BrowserWindow *>(object);
    if (name != kBrowser || !window)
        return;
    if (BrowserEngine *engine = window->engine()) {
        send({ { u"op"_s, u"agent"_s }, { u"text"_s, engine->userAgent() } });
        connect(engine, &BrowserEngine::titleChanged, this, &BrowserChild::sendLocation);
        connect(engine, &BrowserEngine::documentComplete, this, &BrowserChild::sendLocation);
    }
    connect(window, &QObject::destroyed, this, [this] {
        // Queued: the window's last changes and its save are on the link
        // before the process goes.
        QTimer::singleShot(0, this, &BrowserChild::finished);
    });
}

void BrowserChild::sendLocation()
{
    auto *window = m_windows.find<BrowserWindow>(kBrowser);
    if (!window)
        return;
    send({ { u"op"_s, u"location"_s }, { u"url"_s, window->locationUrl() },
        { u"name"_s, window->locationName() } });
}
