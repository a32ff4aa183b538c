#include "app_windows.h"

#include "dialog_placement.h"
#include "exit_confirmation.h"
#include "version_dialog.h"
#include "window_registry.h"

#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

QWidget *ownerWindow(QObject *owner)
{
    QWidget *widget = qobject_cast<QWidget *>(owner);
    return widget ? widget->window() : nullptr;
}

void showCentred(QObject *window)
{
    auto *dialog = static_cast<QWidget *>(window);
    if (!dialog->isVisible())
        centreOnScreen(dialog);
    // show(), never exec(): the countdown and the alert window go on.
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace

void registerAppWindows(WindowRegistry &windows, Lifecycle &lifecycle)
{
    windows.registerWindow(
        u"frmEnding"_s,
        [&lifecycle](
            QObject *owner) -> QObject * { return new ExitConfirmation(lifecycle, ownerWindow(owner)); },
        showCentred);
    windows.registerWindow(
        u"frmVersion"_s, [](QObject *owner) -> QObject * { return new VersionDialog(ownerWindow(owner)); },
        showCentred);
}
