#pragma once

#include <QString>

// The browser's status text: the link under the pointer while there is one,
// else the state of the page's loading.
class StatusText
{
public:
    enum class Load { Started, Progress, Succeeded, Stopped, Failed, CertificateRefused };

    // Each returns true when the text shown changed.
    bool setLink(const QString &url);
    bool setLoad(Load state, int percent = 0);

    QString text() const { return m_link.isEmpty() ? m_load : m_link; }

private:
    bool changed(const QString &before) const { return text() != before; }

    QString m_link;
    QString m_load;
};
