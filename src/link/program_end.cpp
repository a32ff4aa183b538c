#include "program_end.h"

#include "bookmark_list.h"
#include "item_links.h"
#include "log.h"
#include "message_channel.h"
#include "persistence.h"
#include "settings_fields.h"
#include "state_store.h"
#include "status_line.h"
#include "window_registry.h"

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

QString searchPage(const QString &folder)
{
    return QDir(folder).absoluteFilePath(u"html/serch.html"_s);
}

wire::BarSettings storedBars(const StateStore &store)
{
    return { store.value(Setting::kToolbar), store.value(Setting::kButtons),
        store.value(Setting::kButtonsCorner) };
}

const wire::Twips kGeometryFields { Setting::kBrowserX, Setting::kBrowserY, Setting::kBrowserWidth,
    Setting::kBrowserHeight };

// The program's windows the browser window's commands open.
QString windowOf(wire::Command command)
{
    switch (command) {
    case wire::Command::Settings:
        return u"frmConf"_s;
    case wire::Command::Exit:
        return u"frmEnding"_s;
    case wire::Command::Bookmarks:
        return u"frmbookmark"_s;
    case wire::Command::TimerList:
        return u"frmAlarm"_s;
    case wire::Command::Version:
        return u"frmVersion"_s;
    case wire::Command::TimersFromPage:
        return u"frmItemList"_s;
    case wire::Command::TimerByAddress:
        return u"frmByAddress"_s;
    case wire::Command::AddBookmark:
    case wire::Command::Timer:
    case wire::Command::Search:
        break;
    }
    return {};
}

// Lets go of the browser window once its dialog is closed. A dialog is only
// deleted later, and what it does as it closes (表　示 in the bookmarks: a
// navigation) must find the window free already.
class ReleaseOnClose final : public QObject
{
public:
    ReleaseOnClose(QWidget *dialog, std::function<void()> release)
        : QObject(dialog)
        , m_release(std::move(release))
    {
        dialog->installEventFilter(this);
    }
    ~ReleaseOnClose() override { release(); }

    bool eventFilter(QObject *, QEvent *event) override
    {
        // A minimized dialog still holds its owner.
        if (event->type() == QEvent::Hide && !event->spontaneous())
            release();
        return false;
    }

private:
    void release()
    {
        if (std::function<void()> r = std::exchange(m_release, nullptr))
            r();
    }

    std::function<void()> m_release;
};

} // namespace

void ProgramEnd::OverWindow::show(const QString &text, QObject *owner)
{
    if (m_end.m_shown && m_end.m_channel && m_end.m_channel->isOpen())
        m_end.send(wire::Notice { text });
    else
        m_end.m_services.messages.show(text, owner);
}

ProgramEnd::ProgramEnd(MessageChannel &channel, Services &services, QObject *parent)
    : QObject(parent)
    , m_channel(&channel)
    , m_services(services)
    , m_boxes(*this)
    , m_forWindow { services.store, services.persistence, services.clock, m_boxes, services.sound,
        services.windows, services.statusLine, services.browser, services.files, services.timers }
    , m_watcher(services.clock, m_fetcher)
    , m_registration(m_forWindow)
{
    connect(&channel, &MessageChannel::received, this, &ProgramEnd::receive);
    connect(&m_watcher, &PageWatcher::timerMenuEnabled, this,
        [this](bool enabled) { send(wire::TimerMenu { enabled }); });
    connect(&services.statusLine, &StatusLine::changed, this,
        [this](const QString &text) { send(wire::CountdownLine { text }); });

    send(setupFrom(services.store));
    send(wire::CountdownLine { services.statusLine.text() });
}

ProgramEnd::~ProgramEnd() = default;

wire::Setup ProgramEnd::setupFrom(const StateStore &store)
{
    wire::Twips geometry;
    for (size_t i = 0; i < geometry.size(); ++i)
        geometry[i] = store.value(kGeometryFields[i]);
    return { geometry, storedBars(store), searchPage(store.value(Setting::kBootDir)) };
}

void ProgramEnd::send(const wire::Message &message)
{
    if (m_channel)
        m_channel->send(message);
}

void ProgramEnd::show()
{
    send(wire::Show {});
}

void ProgramEnd::navigate(const QString &address)
{
    send(wire::Navigate { address });
}

void ProgramEnd::applyBars(int toolbar, int buttons)
{
    send(wire::Bars { toolbar, buttons, storedBars(m_services.store) });
}

void ProgramEnd::close()
{
    send(wire::Close {});
}

void ProgramEnd::receive(const wire::Message &message)
{
    if (const auto *location = std::get_if<wire::Location>(&message)) {
        m_location = *location;
    } else if (const auto *arrived = std::get_if<wire::DocumentArrived>(&message)) {
        // The page is read as soon as it is there, not once every image
        // and advertisement of it has come (or given up).
        if (!m_documents.arrived(arrived->url)) {
            qCDebug(lcBrowser) << "page" << arrived->url << "arrived after it was complete; read already";
            return;
        }
        takeLinks({});
        m_watcher.documentComplete(true, arrived->url);
    } else if (const auto *complete = std::get_if<wire::DocumentComplete>(&message)) {
        if (complete->topLevel && !m_documents.finished(complete->url)) {
            qCDebug(lcBrowser) << "page" << complete->url << "complete; read already as it arrived";
            return;
        }
        if (complete->topLevel)
            takeLinks({});
        m_watcher.documentComplete(complete->topLevel, complete->url);
    } else if (const auto *links = std::get_if<wire::PageLinksFound>(&message)) {
        takeLinks(links->page);
    } else if (const auto *command = std::get_if<wire::CommandChosen>(&message)) {
        carryOut(*command);
    } else if (const auto *geometry = std::get_if<wire::Geometry>(&message)) {
        m_closed = true;
        keep(*geometry);
    } else if (const auto *agent = std::get_if<wire::UserAgent>(&message)) {
        m_watcher.setUserAgent(agent->text);
        Q_EMIT userAgentChanged(agent->text);
    } else if (std::holds_alternative<wire::Shown>(message)) {
        m_shown = true;
        Q_EMIT shown();
    } else {
        qCWarning(lcBrowser) << "the browser process sent what only the program sends:"
                             << wire::nameOf(wire::kindOf(message));
    }
}

void ProgramEnd::carryOut(const wire::CommandChosen &command)
{
    switch (command.command) {
    case wire::Command::Timer:
        m_registration.registerSlot(command.slot, m_location.caption, m_location.url,
            m_watcher.reading() ? &*m_watcher.reading() : nullptr, nullptr);
        break;
    case wire::Command::AddBookmark:
        BookmarkList::addCurrentPage(m_forWindow, nullptr);
        break;
    case wire::Command::Search:
        // The next document-complete then finds no times and disables the
        // timer menu.
        m_watcher.forget();
        navigate(searchPage(m_services.store.value(Setting::kBootDir)));
        break;
    case wire::Command::Settings:
    case wire::Command::Exit:
    case wire::Command::Bookmarks:
    case wire::Command::TimerList:
    case wire::Command::Version:
    case wire::Command::TimersFromPage:
    case wire::Command::TimerByAddress:
        openProgramWindow(windowOf(command.command), command.window);
        break;
    }
}

void ProgramEnd::takeLinks(const PageLinks &page)
{
    // The answer of a page the window has since left is no use.
    if (!page.url.isEmpty() && page.url != m_location.url)
        return;
    m_links = page;
    const bool items
        = !linkedAuctions(page.links).isEmpty() || isWatchListLoginWall(QUrl(page.url), page.passwordField);
    send(wire::PageItemsMenu { items });
}

void ProgramEnd::keep(const wire::Geometry &geometry)
{
    for (size_t i = 0; i < geometry.twips.size(); ++i)
        m_services.store.setValue(kGeometryFields[i], geometry.twips[i]);
    // Whatever was registered while the window was open survives a crash of
    // the program in the tray.
    m_services.persistence.save();
}

void ProgramEnd::openProgramWindow(const QString &name, const QString &browserWinId)
{
    const bool existed = m_services.windows.find(name) != nullptr;
    auto *w = qobject_cast<QWidget *>(m_services.windows.open(name, nullptr));
    // The status list is no dialog; the others hold the browser window as
    // modal dialogs hold their owner.
    if (!w || existed || name == u"frmAlarm"_s)
        return;
    bool ok = false;
    const WId id = browserWinId.toULongLong(&ok);
    if (ok && id && w->windowHandle() && QGuiApplication::platformName() == u"xcb"_s) {
        if (QWindow *browser = QWindow::fromWinId(id)) {
            w->windowHandle()->setTransientParent(browser);
            connect(w, &QObject::destroyed, browser, &QObject::deleteLater);
        }
    }
    if (m_holds++ == 0)
        send(wire::Hold { true });
    new ReleaseOnClose(w, [end = QPointer<ProgramEnd>(this)] {
        if (end && end->m_holds > 0 && --end->m_holds == 0)
            end->send(wire::Hold { false });
    });
}
