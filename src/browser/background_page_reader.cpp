#include "background_page_reader.h"

#include <QCoreApplication>

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
    FetchResult head = result;
    head.body.clear(); // read already; no need to hold it
    run([url, result, today] { return recognizePage(result.text(), result.body, url, today); },
        [head = std::move(head), done = std::move(done)](PageReading page, qint64 ms) mutable {
            // The service's clock ran on while the page was read.
            if (page.serviceTime.isValid())
                page.serviceTime = page.serviceTime.addMSecs(ms);
            if (head.serverDate.isValid())
                head.serverDate = head.serverDate.addMSecs(ms);
            done(head, page);
        });
}
