#include "browser_probe.h"

#include "browser_end.h"
#include "browser_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

BrowserProbe *BrowserProbe::fromEnvironment(BrowserEnd &end)
{
    const QString path = qEnvironmentVariable("LARKVANE_BROWSER_PROBE");
    return path.isEmpty() ? nullptr : new BrowserProbe(end, path);
}

BrowserProbe::BrowserProbe(BrowserEnd &end, QString path)
    : QObject(&end)
    , m_end(end)
    , m_path(std::move(path))
{
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &BrowserProbe::poll);
    timer->start(50);
}

void BrowserProbe::poll()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    file.close();
    file.remove();
    for (const QString &line : lines)
        run(line);
}

void BrowserProbe::run(const QString &line)
{
    BrowserWindow *w = m_end.window();
    const QString word = line.section(u' ', 0, 0);
    const QString name = line.section(u' ', 1);
    if (word == u"report"_s) {
        QSaveFile out(m_path + u".out"_s);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(report().toUtf8());
            out.commit();
        }
    } else if (w && word == u"close"_s) {
        w->close();
    } else if (w && word == u"trigger"_s) {
        // As a click would: a held window takes none.
        if (!w->isEnabled())
            return;
        if (auto *button = w->findChild<QToolButton *>(name); button && !button->defaultAction())
            button->click();
        else if (QAction *action = w->findChild<QAction *>(name))
            action->trigger();
    }
}

QString BrowserProbe::report() const
{
    QStringList lines;
    BrowserWindow *w = m_end.window();
    lines << u"visible "_s + (w && w->isVisible() ? u"1"_s : u"0"_s);
    if (w) {
        lines << u"held "_s + (w->isHeld() ? u"1"_s : u"0"_s);
        lines << u"caption "_s + w->windowTitle();
        lines << u"countdown "_s + w->findChild<QStatusBar *>(u"stsBar"_s)->currentMessage();
        auto enabled = [w](const QString &name) {
            const QAction *action = w->findChild<QAction *>(name);
            return action && action->isEnabled() ? u"1"_s : u"0"_s;
        };
        lines << u"timer-menu "_s + enabled(u"mnutimer1"_s);
        lines << u"page-items "_s + enabled(u"mnuPageItems"_s);
        lines << u"toolbar "_s + (w->findChild<QToolBar *>(u"Toolbar1"_s)->isVisible() ? u"1"_s : u"0"_s);
        lines << u"buttons "_s + (w->findChild<QToolButton *>(u"bt01"_s)->isVisible() ? u"1"_s : u"0"_s);
    }
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible())
            lines << u"box "_s + box->text();
    }
    return lines.join(u'\n') + u'\n';
}
