#include "web_engine_browser.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QWebChannel>
#include <QWebEngineCertificateError>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

// What the arrival script calls, in a world of its own: the page's scripts
// cannot reach it.
class ArrivalReport final : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void arrived(const QString &href) { Q_EMIT reported(href); }
Q_SIGNALS:
    void reported(const QString &href);
};

// Runs as the browser makes the top-level document, once its response has
// come and before the page's own scripts, stylesheets and images: the
// service's item pages hold their parsing (and so DOMContentLoaded) until
// every deferred script and stylesheet of their asset host has come.
QWebEngineScript arrivalScript()
{
    QFile channel(u":/qtwebchannel/qwebchannel.js"_s);
    channel.open(QIODevice::ReadOnly);
    QWebEngineScript script;
    script.setName(u"larkvane-arrival"_s);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(QString::fromUtf8(channel.readAll())
        + u"\n;new QWebChannel(qt.webChannelTransport, function (c) { c.objects.larkvane.arrived(location.href); });"_s);
    return script;
}

} // namespace

WebEngineBrowser::WebEngineBrowser(QWebEngineProfile *profile, QWidget *parent)
    : BrowserEngine(parent)
    , m_view(new QWebEngineView(profile, parent))
    , m_userAgent(profile->httpUserAgent())
{
    m_view->setObjectName(u"WebBrows"_s);
    QWebEnginePage *page = m_view->page();

    auto *arrival = new ArrivalReport(this);
    auto *channel = new QWebChannel(arrival);
    channel->registerObject(u"larkvane"_s, arrival);
    page->setWebChannel(channel, QWebEngineScript::ApplicationWorld);
    page->scripts().insert(arrivalScript());
    connect(arrival, &ArrivalReport::reported, this, [this](const QString &href) {
        // A document the view has left since is no longer the page shown.
        if (!m_view
            || QUrl(href).adjusted(QUrl::RemoveFragment) != m_view->url().adjusted(QUrl::RemoveFragment))
            return;
        Q_EMIT documentArrived(locationUrl());
    });

    connect(page, &QWebEnginePage::titleChanged, this, &BrowserEngine::titleChanged);
    connect(page, &QWebEnginePage::linkHovered, this, [this](const QString &url) {
        if (m_status.setLink(url))
            Q_EMIT statusTextChanged(m_status.text());
    });
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        using Load = StatusText::Load;
        Load state = Load::Failed;
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            m_loading = true;
            m_certificateRefused = false;
            state = Load::Started;
            break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            state = Load::Succeeded;
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            state = Load::Stopped;
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            state = m_certificateRefused ? Load::CertificateRefused : Load::Failed;
            break;
        }
        if (state != Load::Started)
            m_loading = false;
        if (m_status.setLoad(state))
            Q_EMIT statusTextChanged(m_status.text());
    });
    connect(page, &QWebEnginePage::loadProgress, this, [this](int percent) {
        if (m_status.setLoad(StatusText::Load::Progress, percent))
            Q_EMIT statusTextChanged(m_status.text());
    });
    // Chromium reports frames inside the page; this signal is the top-level
    // document only, failed loads included (they show an error page).
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool) {
        Q_EMIT documentComplete(true, locationUrl());
        collectLinks();
        if (!m_newWindowUrl.isEmpty())
            QMetaObject::invokeMethod(this, &WebEngineBrowser::openNewWindowUrl, Qt::QueuedConnection);
    });
    // The program has one browser: a link or script asking for a new window
    // opens its page here instead of being dropped. A page that asks while it
    // is still loading gets its wish once it is complete, so that its own end
    // cannot cancel the new page.
    connect(page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
        const QUrl url = request.requestedUrl();
        if (!isBrowsableUrl(url))
            return;
        m_newWindowUrl = url;
        if (!m_loading)
            QMetaObject::invokeMethod(this, &WebEngineBrowser::openNewWindowUrl, Qt::QueuedConnection);
    });
    // A page whose certificate does not check out is never shown: an auction
    // login must not be given to whoever sits in between.
    connect(page, &QWebEnginePage::certificateError, this, [this](const QWebEngineCertificateError &error) {
        m_certificateRefused = true;
        auto refused = error;
        refused.rejectCertificate();
    });

    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &WebEngineBrowser::showContextMenu);
}

WebEngineBrowser::~WebEngineBrowser()
{
    delete m_view.data();
}

void WebEngineBrowser::openNewWindowUrl()
{
    const QUrl url = std::exchange(m_newWindowUrl, QUrl());
    if (m_view && url.isValid())
        m_view->load(url);
}

QWidget *WebEngineBrowser::widget() const
{
    return m_view.data();
}

void WebEngineBrowser::navigate(const QString &address)
{
    const QUrl url = browserAddress(address);
    if (m_view && url.isValid())
        m_view->load(url);
}

void WebEngineBrowser::collectLinks()
{
    if (!m_view)
        return;
    // In a world of its own, so that the page's scripts cannot stand in for
    // the DOM; a page of thousands of links gives its first 5000.
    static const QString script = uR"((function () {
  var found = [], links = document.links, n = Math.min(links.length, 5000);
  for (var i = 0; i < n; ++i) {
    var href = links[i].href;
    if (typeof href === 'string') found.push(href);
  }
  return { links: found, password: document.querySelector('input[type=password]') !== null };
})())"_s;
    const QString url = locationUrl();
    const QPointer<WebEngineBrowser> self(this);
    m_view->page()->runJavaScript(
        script, QWebEngineScript::ApplicationWorld, [self, url](const QVariant &result) {
            if (!self)
                return;
            const QVariantMap found = result.toMap();
            Q_EMIT self->linksCollected(
                { url, found.value(u"links"_s).toStringList(), found.value(u"password"_s).toBool() });
        });
}

bool WebEngineBrowser::goBack()
{
    if (!m_view || !m_view->history()->canGoBack())
        return false;
    m_view->back();
    return true;
}

bool WebEngineBrowser::goForward()
{
    if (!m_view || !m_view->history()->canGoForward())
        return false;
    m_view->forward();
    return true;
}

void WebEngineBrowser::reload()
{
    if (m_view)
        m_view->reload();
}

void WebEngineBrowser::stop()
{
    if (m_view)
        m_view->stop();
}

QString WebEngineBrowser::locationUrl() const
{
    return m_view ? m_view->url().toString(QUrl::FullyEncoded) : QString();
}

QString WebEngineBrowser::locationName() const
{
    return m_view ? m_view->title() : QString();
}

QString WebEngineBrowser::userAgent() const
{
    return m_userAgent;
}

// Chromium's own menu speaks English and offers windows this program does
// not have; this one offers what a user of this window needs.
void WebEngineBrowser::showContextMenu(const QPoint &pos)
{
    if (!m_view)
        return;
    const QWebEngineContextMenuRequest *request = m_view->lastContextMenuRequest();
    auto *menu = new QMenu(m_view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto add = [this, menu](QWebEnginePage::WebAction action, const QString &text) {
        QAction *a = menu->addAction(text);
        QAction *pageAction = m_view->pageAction(action);
        a->setEnabled(pageAction->isEnabled());
        connect(a, &QAction::triggered, pageAction, &QAction::trigger);
    };
    if (request && !request->linkUrl().isEmpty()) {
        add(QWebEnginePage::CopyLinkToClipboard, u"リンクのアドレスをコピー"_s);
        menu->addSeparator();
    }
    if (request && request->isContentEditable()) {
        add(QWebEnginePage::Cut, u"切り取り"_s);
        add(QWebEnginePage::Copy, u"コピー"_s);
        add(QWebEnginePage::Paste, u"貼り付け"_s);
        menu->addSeparator();
    } else if (request && !request->selectedText().isEmpty()) {
        add(QWebEnginePage::Copy, u"コピー"_s);
        menu->addSeparator();
    }
    add(QWebEnginePage::Back, u"戻る"_s);
    add(QWebEnginePage::Forward, u"進む"_s);
    add(QWebEnginePage::Reload, u"再読込み"_s);
    menu->addSeparator();
    add(QWebEnginePage::SelectAll, u"すべて選択"_s);
    menu->popup(m_view->mapToGlobal(pos));
}

BrowserProfile::BrowserProfile(QObject *parent)
    : QObject(parent)
{
}

BrowserProfile::~BrowserProfile()
{
    for (const QPointer<WebEngineBrowser> &engine : std::as_const(m_engines))
        delete engine.data();
    delete m_profile;
}

QWebEngineProfile *BrowserProfile::profile()
{
    if (!m_profile) {
        // A storage name makes the profile live on disk, in the standard
        // data location.
        m_profile = new QWebEngineProfile(u"Larkvane"_s);
        // Auction sites keep a login in session cookies too; keeping those
        // is what "stay logged in" means to the user.
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
        // The sites are Japanese, and so is every user of this program.
        m_profile->setHttpAcceptLanguage(u"ja,en;q=0.5"_s);
    }
    return m_profile;
}

BrowserEngine *BrowserProfile::createEngine(QWidget *parent)
{
    m_engines.removeAll(QPointer<WebEngineBrowser>());
    auto *engine = new WebEngineBrowser(profile(), parent);
    m_engines.append(engine);
    return engine;
}

#include "web_engine_browser.moc"
