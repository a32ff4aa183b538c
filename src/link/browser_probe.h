#pragma once

#include <QObject>
#include <QString>

class BrowserEnd;

// Lets a test of the two real processes act in the browser window as its
// user would, and see what the window shows. Only when the environment names
// a probe file (LARKVANE_BROWSER_PROBE): each line written to it is done in
// turn, and `report` answers in the same file with ".out" after its name.
//   trigger NAME   a menu entry, toolbar button or drop-down entry chosen
//   close          the window's close box
//   report         held, countdown line, timer menu, bars, boxes, caption
class BrowserProbe : public QObject
{
    Q_OBJECT
public:
    // Null when the environment names no probe file.
    static BrowserProbe *fromEnvironment(BrowserEnd &end);

private:
    BrowserProbe(BrowserEnd &end, QString path);
    void poll();
    void run(const QString &line);
    QString report() const;

    BrowserEnd &m_end;
    QString m_path;
};
