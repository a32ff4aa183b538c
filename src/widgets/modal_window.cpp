#include "modal_window.h"

#include "browser_host.h"
#include "window_registry.h"

#include <QKeyEvent>
#include <QScreen>

ModalWindow::ModalWindow(const QString &name, const QString &title, QWidget *owner)
    : QWidget(owner, Qt::Dialog)
{
    setObjectName(name);
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
}

void ModalWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (QScreen *s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

void ModalWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape leaves like the close box: nothing is applied or written.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void registerModalWindow(WindowRegistry &registry, const BrowserHost &browser, const QString &name,
    std::function<QWidget *(QWidget *owner)> make)
{
    registry.registerWindow(
        name,
        [&browser, make = std::move(make)](QObject *owner) -> QObject * {
            return make(qobject_cast<QWidget *>(owner ? owner : browser.window()));
        },
        [](QObject *window) {
            auto *w = static_cast<QWidget *>(window);
            w->show();
            w->raise();
            w->activateWindow();
        });
}
