#pragma once

#include <QObject>
#include <QString>

// The countdown line of the browser window's status bar. The countdown and the
// registration write it here; the browser window shows it whenever it exists,
// so nothing has to create that window just to set a text.
class StatusLine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    QString text() const { return m_text; }
    void setText(const QString &text)
    {
        if (text == m_text)
            return;
        m_text = text;
        Q_EMIT changed(m_text);
    }

Q_SIGNALS:
    void changed(const QString &text);

private:
    QString m_text;
};
