#pragma once

#include "browser_engine.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

// An engine that only records what the window asks of it.
class FakeBrowserEngine final : public BrowserEngine
{
    Q_OBJECT
public:
    explicit FakeBrowserEngine(QWidget *parent)
        : BrowserEngine(parent)
        , m_widget(new QWidget(parent))
    {
    }
    ~FakeBrowserEngine() override { delete m_widget.data(); }

    QWidget *widget() const override { return m_widget.data(); }
    void navigate(const QString &address) override { navigated << address; }
    bool goBack() override
    {
        ++backs;
        return canGoBack;
    }
    bool goForward() override
    {
        ++forwards;
        return canGoForward;
    }
    void reload() override { ++reloads; }
    void stop() override { ++stops; }
    QString locationUrl() const override { return url; }
    QString locationName() const override { return title; }
    QString userAgent() const override { return QStringLiteral("FakeEngine/1.0"); }
    void collectLinks() override { Q_EMIT linksCollected({ url, links, false }); }

    QStringList navigated;
    int backs = 0;
    int forwards = 0;
    int reloads = 0;
    int stops = 0;
    bool canGoBack = false;
    bool canGoForward = false;
    QString url;
    QString title;
    QStringList links;

private:
    QPointer<QWidget> m_widget;
};
