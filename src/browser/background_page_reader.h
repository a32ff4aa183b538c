#pragma once

#include "page_fetcher.h"
#include "page_recognizer.h"

#include <QDate>
#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <QUrl>

#include <functional>

// Reads fetched pages on a thread of its own. A page of tens of megabytes
// takes a good part of a second to decode and read, and ten slots may read
// theirs in the same second: the countdown and the alerts must keep their
// second meanwhile. The answer comes back on the thread that asked, in the
// order asked, with the reply's times moved on by how long the reading took,
// so that the service's clock is learned as if it had been read at once.
class BackgroundPageReader : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const FetchResult &, const PageReading &)>;

    // On a thread of its own when workers are the default.
    explicit BackgroundPageReader(QObject *parent = nullptr);
    // Waits for the page being read, if any (a fetch holds at most 32 MB).
    ~BackgroundPageReader() override;

    // Off: every page is read at once, on the caller's thread (tests that
    // drive the clocks, and where nothing else must keep its second).
    void setOnWorker(bool on);
    bool onWorker() const { return m_thread.isRunning(); }
    // Whether readers made from now on read on threads of their own: the
    // program's do, from its start; tests on driven clocks leave it off.
    static void setWorkersByDefault(bool on);

    // Reads `result` of `url` as of the service's date `today`; the body
    // is not handed back.
    void read(const QUrl &url, const FetchResult &result, QDate today, Done done);

    // Runs `work` here and hands what it returns to `done(answer, ms)` on
    // the asking thread, in the order asked, with the milliseconds since it
    // was asked (0 when read at once).
    template <typename Work, typename Answered> void run(Work work, Answered done)
    {
        if (!onWorker()) {
            done(work(), qint64(0));
            return;
        }
        QElapsedTimer taken;
        taken.start();
        QMetaObject::invokeMethod(
            m_worker,
            [this, taken, work = std::move(work), done = std::move(done)]() mutable {
                auto answer = work();
                QMetaObject::invokeMethod(
                    this,
                    [taken, answer = std::move(answer), done = std::move(done)]() mutable {
                        done(std::move(answer), taken.elapsed());
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

private:
    QThread m_thread;
    QObject *m_worker = nullptr;
};
