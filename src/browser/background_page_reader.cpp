#include "background_page_reader.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {
bool g_workersByDefault = false;
} // namespace

void BackgroundPageReader::setWorkersByDefault(bool on)
{
    g_workersByDefault = on;
}

BackgroundPageReader::BackgroundPageReader(QObject *parent)
    : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("page reader"));
    setOnWorker(g_workersByDefault);
}

BackgroundPageReader::~BackgroundPageReader()
{
    setOnWorker(false);
}

void BackgroundPageReader::setOnWorker(bool on)
{
    if (on == m_thread.isRunning())
        return;
    if (on) {
        m_worker = new QObject;
        m_worker->moveToThread(&m_thread);
        connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread.start(QThread::LowPriority);
        return;
    }
    m_thread.quit();
    m_thread.wait();
    m_worker = nullptr;
    // Answers posted by the last reading are not delivered after this.
    QCoreApplication::removePostedEvents(this);
}

void BackgroundPageReader::read(const QUrl &url, const FetchResult &result, QDate today, Done done)
{
    if (!m_thread.isRunning()) {
        done(result, recognizePage(result.text(), result.body, url, today));
        return;
    }
    QElapsedTimer taken;
    taken.start();
    QMetaObject::invokeMethod(
        m_worker,
        [this, url, result, today, taken, done = std::move(done)]() mutable {
            const PageReading page = recognizePage(result.text(), result.body, url, today);
            QMetaObject::invokeMethod(
                this,
                [page, taken, result = std::move(result), done = std::move(done)]() mutable {
                    // The service's clock ran on while the page was read.
                    PageReading moved = page;
                    const qint64 ms = taken.elapsed();
                    if (moved.serviceTime.isValid())
                        moved.serviceTime = moved.serviceTime.addMSecs(ms);
                    if (result.serverDate.isValid())
                        result.serverDate = result.serverDate.addMSecs(ms);
                    result.body.clear(); // read already; no need to hold it
                    done(result, moved);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
