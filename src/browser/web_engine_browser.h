#pragma once

#include "browser_engine.h"
#include "status_text.h"

#include <QList>
#include <QPointer>

class QWebEngineProfile;
class QWebEngineView;

// The browser engine over Qt WebEngine: one view with its own page.
class WebEngineBrowser final : public BrowserEngine
{
    Q_OBJECT
public:
    WebEngineBrowser(QWebEngineProfile *profile, QWidget *parent);
    // Deletes the view and its page at once, so the renderer goes with them.
    ~WebEngineBrowser() override;

    QWidget *widget() const override;
    void navigate(const QString &address) override;
    bool goBack() override;
    bool goForward() override;
    void reload() override;
    void stop() override;
    QString locationUrl() const override;
    QString locationName() const override;
    QString userAgent() const override;
    void collectLinks() override;

private:
    void showContextMenu(const QPoint &pos);
    void openNewWindowUrl();

    QPointer<QWebEngineView> m_view;
    QString m_userAgent;
    StatusText m_status;
    QUrl m_newWindowUrl;
    bool m_loading = false;
    bool m_certificateRefused = false;
};

// The program's one browser profile, named so that cookies and the cache stay
// on disk between runs: whoever logged in to an auction site stays logged in.
// Chromium wants every page gone before its profile, so the engines made here
// are deleted before the profile, whatever else still holds them.
class BrowserProfile : public QObject
{
    Q_OBJECT
public:
    explicit BrowserProfile(QObject *parent = nullptr);
    ~BrowserProfile() override;

    // A new engine whose view is a child of `parent`.
    BrowserEngine *createEngine(QWidget *parent);

private:
    QWebEngineProfile *profile();

    QWebEngineProfile *m_profile = nullptr;
    QList<QPointer<WebEngineBrowser>> m_engines;
};
