#pragma once

#include <QString>

class MessageBox;
class QCloseEvent;
class QWidget;

// A message box runs a nested event loop, and a tick inside it may close the
// very window whose button opened the box (a newer alert, an auction's end).
// Deleting that window then would pull it out from under the handler and the
// box it owns. The guard lets such a close go through, hiding the window, and
// holds the deletion back until the last box of the window has returned.
class BoxGuard
{
public:
    explicit BoxGuard(QWidget &window);

    // Shows the box. False when the window was closed while it was open: the
    // caller must not act as the window any more.
    bool show(MessageBox &messages, const QString &text);

    // To be called from the window's closeEvent.
    void noteClose();

private:
    QWidget &m_window;
    int m_depth = 0;
    bool m_closed = false;
};
