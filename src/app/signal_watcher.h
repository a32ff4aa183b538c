#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so a
// kill, Ctrl+C or a closed terminal ends the program through the same orderly
// exit as the tray menu. The handler only writes the signal number into a
// socket pair; everything else happens on the user-interface thread.
// One watcher per process.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;

    // False when the socket pair or a handler could not be set up; the
    // signals then keep their default action.
    bool isWatching() const { return m_notifier != nullptr; }

    // For the end of the process: the watched signals are ignored from now
    // on, this watcher gone or not, so that one sent while the exit finishes
    // cannot cut it short and turn its code into the signal's.
    void ignoreFromNowOn();

Q_SIGNALS:
    void received(int signalNumber);

private:
    void drain();

    QList<int> m_signals;
    QSocketNotifier *m_notifier = nullptr;
    bool m_ignoring = false;
};
