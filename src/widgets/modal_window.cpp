#include "modal_window.h"

#include "browser_host.h"
#include "window_registry.h"

#include <QKeyEvent>
#include <QPushButton>
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
    // Here only when the widget with the keyboard has no use for the key: a
    // text box, a list, a button that is no default.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && pressDefaultButton(this))
        return;
    QWidget::keyPressEvent(event);
}

bool ModalWindow::pressDefaultButton(QWidget *window)
{
    auto usable = [window](const QPushButton *b) {
        return b && b->window() == window && b->isVisible() && b->isEnabled();
    };
    auto *focused = qobject_cast<QPushButton *>(window->focusWidget());
    QPushButton *target = usable(focused) ? focused : nullptr;
    if (!target) {
        for (QPushButton *b : window->findChildren<QPushButton *>()) {
            if (b->isDefault() && usable(b)) {
                target = b;
                break;
            }
        }
    }
    if (!target)
        return false;
    target->click();
    return true;
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
