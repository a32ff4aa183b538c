#pragma once

#include "browser_host.h"
#include "clock.h"
#include "desktop_notifier.h"
#include "file_dialog.h"
#include "message_box.h"
#include "sleep_inhibitor.h"
#include "sound_player.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>

#include <functional>

// A clock that says what the test tells it (Japan time).
class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime now = {})
        : m_now(now)
    {
    }
    QDateTime now() const override { return m_now; }
    void set(QDate d, QTime t) { m_now = japanDateTime(d, t); }
    void set(const QDateTime &now) { m_now = now; }
    void advance(int seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

// Records every message instead of showing it; `onShow` runs inside the
// "box", where the real one would run a nested event loop.
class MessageRecorder final : public MessageBox
{
public:
    void show(const QString &text, QObject *) override
    {
        texts << text;
        if (onShow)
            onShow(text);
    }
    QStringList texts;
    std::function<void(const QString &)> onShow;
};

class SoundRecorder final : public SoundPlayer
{
public:
    void play(const QString &path) override { played << path; }
    QStringList played;
};

class ScriptedFileDialog final : public FileDialog
{
public:
    QString openFile(QObject *, const QString &caption, const QString &filter) override
    {
        captions << caption;
        filters << filter;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList answers; // an empty answer is a cancel
    QStringList captions;
    QStringList filters;
};

// A browser window that is only a record of what was asked of it.
class FakeBrowserHost final : public BrowserHost
{
public:
    void showBrowser() override
    {
        ++shown;
        open = true;
    }
    void navigate(const QString &address) override { navigated << address; }
    bool isOpen() const override { return open; }
    QString locationUrl() const override { return url; }
    QString locationName() const override { return name; }
    PageLinks pageLinks() const override { return links; }
    QObject *window() const override { return owner; }
    void applyBars(int toolbar, int buttons) override { barsApplied << qMakePair(toolbar, buttons); }

    int shown = 0;
    bool open = false;
    QStringList navigated;
    QString url;
    QString name;
    PageLinks links;
    QObject *owner = nullptr;
    QList<QPair<int, int>> barsApplied;
};

class NotificationRecorder final : public DesktopNotifier
{
public:
    void showAlert(const QString &text, std::function<void()> showItem, const NoticeItem &item = {}) override
    {
        alerts << text;
        shown[item.slot] = std::move(showItem);
        this->showItem = shown[item.slot];
    }
    void withdrawAlert(int slot) override
    {
        ++withdrawn;
        shown.remove(slot);
        showItem = {};
    }
    void showNotice(const QString &text, const NoticeItem & = {}) override { notices << text; }

    QStringList alerts;
    QStringList notices;
    int withdrawn = 0;
    std::function<void()> showItem; // the latest alert's action, while it is shown
    QHash<int, std::function<void()>> shown; // each slot's alert still shown, by slot
};

class InhibitorRecorder final : public SleepInhibitor
{
public:
    void hold(const QString &) override { held = true; }
    void release() override { held = false; }
    bool held = false;
};
