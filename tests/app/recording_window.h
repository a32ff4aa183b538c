#pragma once

#include "window_registry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <functional>

// A window of the program, as far as closing goes: it writes its name into a
// shared log when it closes and may do what the real window does then
// (store its geometry, ...).
class RecordingWindow : public QDialog
{
public:
    RecordingWindow(const QString &name, QStringList &log, QWidget *owner, std::function<void()> onClose)
        : QDialog(owner)
        , m_log(log)
        , m_onClose(std::move(onClose))
    {
        setObjectName(name);
        setWindowTitle(name);
        setAttribute(Qt::WA_DeleteOnClose);
        resize(200, 120);
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        m_log << objectName();
        if (m_onClose)
            m_onClose();
        QDialog::closeEvent(event);
    }

private:
    QStringList &m_log;
    std::function<void()> m_onClose;
};

// Registers `name` as a recording window. `modalTo` makes it a window-modal
// dialog of that window, as the settings dialog is of the browser window.
inline void registerRecording(WindowRegistry &windows, const QString &name, QStringList &log,
    std::function<void()> onClose = {}, QWidget *modalTo = nullptr)
{
    windows.registerWindow(name, [name, &log, onClose, modalTo](QObject *) -> QObject * {
        auto *w = new RecordingWindow(name, log, modalTo, onClose);
        if (modalTo)
            w->setWindowModality(Qt::WindowModal);
        return w;
    });
}

// Between tests: no window of one test may stay around (a modal dialog left
// open would change what the next one sees).
inline void deleteAllWindows()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows << w;
    for (const QPointer<QWidget> &w : std::as_const(windows))
        delete w.data();
}
