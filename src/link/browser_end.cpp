#include "browser_end.h"

#include "browser_engine.h"
#include "browser_window.h"
#include "log.h"
#include "message_box.h"
#include "message_channel.h"
#include "web_engine_browser.h"

#include <QLocalSocket>
#include <QTimer>

BrowserEnd::BrowserEnd(
    QLocalSocket *socket, MessageBox &messages, MessageBox &notices, WindowFactory factory, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_channel(new MessageChannel(socket, this))
    , m_messages(messages)
    , m_notices(notices)
    , m_factory(std::move(factory))
{
    if (!m_factory) {
        m_profile = new BrowserProfile(this);
        m_factory = [this](const wire::Setup &setup) {
            return new BrowserWindow(
                setup, m_messages, [this](QWidget *parent) { return m_profile->createEngine(parent); });
        };
    }
    connect(m_channel, &MessageChannel::received, this, &BrowserEnd::receive);
    connect(m_channel, &MessageChannel::closed, this, [this] {
        qCInfo(lcBrowser) << "the program has gone; the browser window closes";
        if (m_window) {
            m_window->setHeld(false);
            m_window->close();
        }
        Q_EMIT finished();
    });
}

BrowserEnd::~BrowserEnd()
{
    // The window's engine goes before the profile.
    delete m_window.data();
}

void BrowserEnd::send(const wire::Message &message)
{
    m_channel->send(message);
}

void BrowserEnd::flush()
{
    while (m_socket->state() == QLocalSocket::ConnectedState && m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(3000))
            break;
    }
}

BrowserWindow *BrowserEnd::ensureWindow()
{
    if (m_window)
        return m_window;
    BrowserWindow *w = m_factory(m_setup);
    m_window = w;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setCountdownLine(m_countdown);
    connect(w, &BrowserWindow::commandChosen, this, [this, w](wire::Command command, int slot) {
        // On X11 the program's dialog can stand over this window as its own
        // would.
        send(wire::CommandChosen { command, slot, QString::number(w->window()->winId()) });
    });
    connect(w, &BrowserWindow::geometryStored, this,
        [this](const wire::Twips &twips) { send(wire::Geometry { twips }); });
    if (BrowserEngine *engine = w->engine()) {
        send(wire::UserAgent { engine->userAgent() });
        connect(engine, &BrowserEngine::titleChanged, this, &BrowserEnd::sendLocation);
        connect(engine, &BrowserEngine::documentArrived, this, [this](const QString &url) {
            sendLocation();
            send(wire::DocumentArrived { url });
        });
        connect(engine, &BrowserEngine::documentComplete, this, [this](bool topLevel, const QString &url) {
            sendLocation();
            send(wire::DocumentComplete { topLevel, url });
        });
        connect(engine, &BrowserEngine::linksCollected, this,
            [this](const PageLinks &page) { send(wire::PageLinksFound { page }); });
    }
    connect(w, &QObject::destroyed, this, [this] {
        // Queued: the window's geometry is on the link before the process
        // goes.
        QTimer::singleShot(0, this, &BrowserEnd::finished);
    });
    return w;
}

void BrowserEnd::sendLocation()
{
    if (m_window)
        send(wire::Location { m_window->locationUrl(), m_window->locationName(), m_window->windowTitle() });
}

void BrowserEnd::receive(const wire::Message &message)
{
    if (const auto *setup = std::get_if<wire::Setup>(&message)) {
        m_setup = *setup;
    } else if (std::holds_alternative<wire::Show>(message)) {
        BrowserWindow *w = ensureWindow();
        if (w->isMinimized())
            w->showNormal();
        else
            w->show();
        w->raise();
        w->activateWindow();
        send(wire::Shown {});
    } else if (const auto *navigate = std::get_if<wire::Navigate>(&message)) {
        // A dialog holds the window: nothing takes it elsewhere under it.
        if (m_window && m_window->isHeld())
            qCInfo(lcBrowser) << "the window is held by a dialog; not going to" << navigate->address;
        else
            ensureWindow()->navigate(navigate->address);
    } else if (const auto *line = std::get_if<wire::CountdownLine>(&message)) {
        m_countdown = line->text;
        if (m_window)
            m_window->setCountdownLine(line->text);
    } else if (const auto *menu = std::get_if<wire::TimerMenu>(&message)) {
        if (m_window)
            m_window->setTimerMenuEnabled(menu->enabled);
    } else if (const auto *items = std::get_if<wire::PageItemsMenu>(&message)) {
        if (m_window)
            m_window->setPageItemsEnabled(items->enabled);
    } else if (const auto *bars = std::get_if<wire::Bars>(&message)) {
        m_setup.bars = bars->settings;
        if (m_window)
            m_window->applyBars(*bars);
    } else if (const auto *hold = std::get_if<wire::Hold>(&message)) {
        if (m_window)
            m_window->setHeld(hold->on);
    } else if (const auto *notice = std::get_if<wire::Notice>(&message)) {
        m_notices.show(notice->text, m_window.data());
    } else if (std::holds_alternative<wire::Close>(message)) {
        // The program's close is its exit's: no dialog of its holds it back.
        if (m_window) {
            m_window->setHeld(false);
            m_window->close();
        } else {
            Q_EMIT finished();
        }
    } else {
        qCWarning(lcBrowser) << "the program sent what only the browser sends:"
                             << wire::nameOf(wire::kindOf(message));
    }
}
