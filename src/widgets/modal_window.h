#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class BrowserHost;
class WindowRegistry;

// A dialog of the browser window: modal to that window only (never to the
// whole program, so the alert window stays usable and the edits survive it),
// closed by Escape as by its close box, centred on its screen when first
// shown, and deleted when closed. Return presses the button that has the
// keyboard, else the default button, as in any dialog of the desktop: a
// plain widget, unlike a QDialog, gives a default button nothing to do.
class ModalWindow : public QWidget
{
    Q_OBJECT
public:
    ModalWindow(const QString &name, const QString &title, QWidget *owner);

    // Return in `window`, which no control of it took: the push button with
    // the keyboard, else the default button, if one is there to press.
    static bool pressDefaultButton(QWidget *window);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_centred = false;
};

// Registers `name`; `make` builds it for its owner (the window that asked,
// else the browser window). Every open request shows, raises and activates it.
void registerModalWindow(WindowRegistry &registry, const BrowserHost &browser, const QString &name,
    std::function<QWidget *(QWidget *owner)> make);
