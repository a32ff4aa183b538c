#pragma once

#include "document_reads.h"
#include "message_box.h"
#include "page_fetcher.h"
#include "page_watcher.h"
#include "protocol.h"
#include "registration.h"
#include "services.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class MessageChannel;
class StateStore;

// The program's end of one link to a browser window: what the window reports
// is carried out here (the page read, a timer registered, a bookmark added, a
// dialog opened, the geometry kept and saved), and what the program wants of
// the window goes out from here. One lives as long as its browser process.
class ProgramEnd : public QObject
{
    Q_OBJECT
public:
    // Sends the window what it opens with at once.
    ProgramEnd(MessageChannel &channel, Services &services, QObject *parent = nullptr);
    ~ProgramEnd() override;

    // What a window opens with, from the stored settings.
    static wire::Setup setupFrom(const StateStore &store);

    void show();
    // Refused by a window a dialog holds.
    void navigate(const QString &address);
    void applyBars(int toolbar, int buttons);
    void close();

    // Has reported itself shown.
    bool isShown() const { return m_shown; }
    // Has closed (it hands over its geometry as it does): its process is
    // ending and does nothing more it is told.
    bool hasClosed() const { return m_closed; }
    QString locationUrl() const { return m_location.url; }
    QString locationName() const { return m_location.title; }
    // The links of the page now shown, once it has loaded.
    PageLinks pageLinks() const { return m_links; }
    // What the page now shown was read as, once it has been.
    const std::optional<PageReading> &pageReading() const { return m_watcher.reading(); }

    // The program's boxes while the window is up are shown by it, over it.
    MessageBox &messages() { return m_boxes; }

Q_SIGNALS:
    void userAgentChanged(const QString &agent);
    // The window has come up on the screen.
    void shown();

private:
    class OverWindow final : public MessageBox
    {
    public:
        explicit OverWindow(ProgramEnd &end)
            : m_end(end)
        {
        }
        void show(const QString &text, QObject *owner) override;

    private:
        ProgramEnd &m_end;
    };

    void send(const wire::Message &message);
    void receive(const wire::Message &message);
    void carryOut(const wire::CommandChosen &command);
    void openProgramWindow(const QString &name, const QString &browserWinId);
    void keep(const wire::Geometry &geometry);
    void takeLinks(const PageLinks &page);

    QPointer<MessageChannel> m_channel;
    Services &m_services;
    OverWindow m_boxes;
    // The services with the boxes over the window, for what runs on its behalf.
    Services m_forWindow;
    NetworkPageFetcher m_fetcher;
    PageWatcher m_watcher;
    Registration m_registration;
    wire::Location m_location;
    DocumentReads m_documents;
    PageLinks m_links;
    bool m_shown = false;
    bool m_closed = false;
    int m_holds = 0;
};
