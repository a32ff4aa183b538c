#pragma once

#include <QString>

// The browser reports each top-level document twice: as it arrives, and once
// it has finished with every image, script and frame. The page is read at
// whichever of the two comes first, and not at the other: the arrival
// crosses the browser's channel in a few hops and, on a small page, can come
// after the finish. A page that never reports its arrival (an error page)
// is read at its finish.
class DocumentReads
{
public:
    // Whether the page is to be read on this report.
    bool arrived(const QString &url) { return take(Report::Arrival, url); }
    bool finished(const QString &url) { return take(Report::Finish, url); }

private:
    enum class Report { None, Arrival, Finish };

    bool take(Report report, const QString &url)
    {
        // The other report of the document read last.
        if (m_read != Report::None && m_read != report && m_url == url) {
            m_read = Report::None;
            return false;
        }
        m_read = report;
        m_url = url;
        return true;
    }

    Report m_read = Report::None;
    QString m_url;
};
