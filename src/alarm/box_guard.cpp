#include "box_guard.h"

#include "message_box.h"

#include <QPointer>
#include <QWidget>

BoxGuard::BoxGuard(QWidget &window)
    : m_window(window)
{
}

bool BoxGuard::show(MessageBox &messages, const QString &text)
{
    QPointer<QWidget> alive(&m_window);
    if (m_depth++ == 0)
        m_window.setAttribute(Qt::WA_DeleteOnClose, false);
    messages.show(text, &m_window);
    if (!alive)
        return false; // deleted by its owner: nothing left to hold back
    if (--m_depth == 0) {
        m_window.setAttribute(Qt::WA_DeleteOnClose, true);
        if (m_closed)
            m_window.deleteLater();
    }
    return !m_closed;
}

void BoxGuard::noteClose()
{
    if (m_depth > 0)
        m_closed = true;
}
