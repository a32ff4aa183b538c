#include "mail_sender.h"

#include <QHostInfo>
#include <QMetaObject>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// One mail on the worker.
struct MailJob
{
    quint64 id = 0;
    int timeoutMs = 0;
    QByteArray url;
    bool tls = true;
    QByteArray user;
    QByteArray password;
    QByteArray from;
    QList<QByteArray> to;
    QByteArray message;
    qsizetype sent = 0;
    QByteArray caFile;
    QByteArray host;
    int port = 0;

    CURL *easy = nullptr;
    curl_slist *recipients = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    // The last thing the server refused with (a 4xx or 5xx line).
    QByteArray refusal;
    // The sockets libcurl has open for it: an abort shuts them down first,
    // or taking the mail back would say QUIT to a server that does not
    // answer, and wait the whole time-out for it.
    QList<curl_socket_t> sockets;

    ~MailJob()
    {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(recipients);
    }
};

namespace {

size_t readMessage(char *buffer, size_t size, size_t count, void *data)
{
    auto *job = static_cast<MailJob *>(data);
    const qsizetype n = std::min<qsizetype>(qsizetype(size * count), job->message.size() - job->sent);
    std::memcpy(buffer, job->message.constData() + job->sent, size_t(n));
    job->sent += n;
    return size_t(n);
}

// Keeps the server's refusals for the user; what we send (the login among
// it) is never looked at.
int watchServer(CURL *, curl_infotype type, char *data, size_t size, void *userp)
{
    if (type != CURLINFO_HEADER_IN)
        return 0;
    const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
    if (line.size() >= 3 && (line[0] == '4' || line[0] == '5'))
        static_cast<MailJob *>(userp)->refusal = line;
    return 0;
}

curl_socket_t openSocket(void *data, curlsocktype, curl_sockaddr *address)
{
    const curl_socket_t s = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (s != CURL_SOCKET_BAD)
        static_cast<MailJob *>(data)->sockets << s;
    return s;
}

int closeSocket(void *data, curl_socket_t s)
{
    static_cast<MailJob *>(data)->sockets.removeOne(s);
    return close(s);
}

SendOutcome outcomeOf(const MailJob &job, CURLcode code)
{
    if (code == CURLE_OK)
        return { true, u"サーバーに届きました。"_s };
    const QString refusal = QString::fromUtf8(job.refusal).left(200);
    const QString detail = QString::fromUtf8(job.error[0] ? job.error : curl_easy_strerror(code));
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return { false, u"サーバーが %1 秒以内に答えませんでした。"_s.arg(job.timeoutMs / 1000.0) };
    case CURLE_COULDNT_RESOLVE_HOST:
        return { false, u"サーバーが見つかりません（%1）。"_s.arg(QString::fromUtf8(job.host)) };
    case CURLE_COULDNT_CONNECT:
        return { false,
            u"サーバーに接続できませんでした（%1 の %2 番ポート）。"_s.arg(QString::fromUtf8(job.host))
                .arg(job.port) };
    case CURLE_PEER_FAILED_VERIFICATION:
        return { false, u"サーバーの証明書を確かめられませんでした（%1）。"_s.arg(detail) };
    case CURLE_SSL_CONNECT_ERROR:
        return { false, u"暗号化した接続ができませんでした（%1）。"_s.arg(detail) };
    case CURLE_USE_SSL_FAILED:
        return { false, u"サーバーが STARTTLS に対応していません。"_s };
    case CURLE_LOGIN_DENIED:
        return { false,
            u"ログインできませんでした（サーバーの答え: %1）。"_s.arg(refusal.isEmpty() ? detail : refusal) };
    default:
        if (!refusal.isEmpty())
            return { false, u"サーバーの答え: "_s + refusal };
        return { false, u"送れませんでした（%1）。"_s.arg(detail) };
    }
}

void setUp(MailJob &job)
{
    CURL *e = job.easy = curl_easy_init();
    curl_easy_setopt(e, CURLOPT_URL, job.url.constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(e, CURLOPT_USE_SSL, long(job.tls ? CURLUSESSL_ALL : CURLUSESSL_NONE));
    if (!job.caFile.isEmpty())
        curl_easy_setopt(e, CURLOPT_CAINFO, job.caFile.constData());
    if (!job.user.isEmpty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, job.user.constData());
        curl_easy_setopt(e, CURLOPT_PASSWORD, job.password.constData());
    }
    curl_easy_setopt(e, CURLOPT_MAIL_FROM, QByteArray('<' + job.from + '>').constData());
    for (const QByteArray &to : std::as_const(job.to))
        job.recipients = curl_slist_append(job.recipients, QByteArray('<' + to + '>').constData());
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT, job.recipients);
    curl_easy_setopt(e, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(e, CURLOPT_READDATA, &job);
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(job.timeoutMs));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, job.error);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, watchServer);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &job);
    // Each mail has a connection of its own, closed with it: none outlives
    // the job its socket callbacks point to.
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, openSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, &job);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETFUNCTION, closeSocket);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETDATA, &job);
}

} // namespace

MailSender::MailSender(QObject *parent)
    : QObject(parent)
{
    // Before any thread: the global set-up is not safe to race.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

MailSender::~MailSender()
{
    abortAll();
}

void MailSender::send(const Mail &mail, int timeoutMs, std::function<void(const SendOutcome &)> done)
{
    auto job = std::make_unique<MailJob>();
    job->id = m_nextId++;
    job->timeoutMs = timeoutMs;
    // The path is the name we greet the server with (EHLO).
    const QString host = mail.host.contains(u':') ? u'[' + mail.host + u']' : mail.host;
    job->url = (mail.security == MailSecurity::Tls ? "smtps://" : "smtp://") + QUrl::toAce(host) + ':'
        + QByteArray::number(mail.port) + '/' + QUrl::toPercentEncoding(QHostInfo::localHostName());
    job->tls = mail.security != MailSecurity::None;
    job->user = mail.user.toUtf8();
    job->password = mail.password.toUtf8();
    job->from = mail.from.toUtf8();
    for (const QString &to : mail.to)
        job->to << to.toUtf8();
    job->message = mail.message;
    job->caFile = m_caFile.toLocal8Bit();
    job->host = mail.host.toUtf8();
    job->port = mail.port;
    m_done.insert(job->id, std::move(done));

    std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(job));
    if (m_working) {
        if (m_multi)
            curl_multi_wakeup(static_cast<CURLM *>(m_multi));
        return;
    }
    // The last worker has left, or is just leaving: it ends at once.
    if (m_worker.joinable())
        m_worker.join();
    m_working = true;
    m_worker = std::thread([this] { run(); });
}

void MailSender::run()
{
    CURLM *multi = curl_multi_init();
    std::vector<std::unique_ptr<MailJob>> running;
    for (;;) {
        {
            // Leaving, the worker takes the lock no more: send() may be
            // waiting for it to end while holding it.
            std::lock_guard lock(m_mutex);
            if (m_abort) {
                m_multi = nullptr;
                break;
            }
            for (std::unique_ptr<MailJob> &job : m_queue) {
                setUp(*job);
                curl_multi_add_handle(multi, job->easy);
                running.push_back(std::move(job));
            }
            m_queue.clear();
            if (running.empty()) {
                m_multi = nullptr;
                m_working = false;
                break;
            }
            m_multi = multi;
        }
        int active = 0;
        curl_multi_perform(multi, &active);
        int left = 0;
        bool finished = false;
        while (CURLMsg *msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            const auto it = std::find_if(running.begin(), running.end(),
                [msg](const auto &job) { return job->easy == msg->easy_handle; });
            if (it == running.end())
                continue;
            const SendOutcome outcome = outcomeOf(**it, msg->data.result);
            curl_multi_remove_handle(multi, (*it)->easy);
            {
                std::lock_guard lock(m_mutex);
                m_finished.push_back({ (*it)->id, outcome });
            }
            running.erase(it);
            finished = true;
        }
        if (finished)
            QMetaObject::invokeMethod(this, &MailSender::deliverFinished, Qt::QueuedConnection);
        if (!running.empty())
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    for (const std::unique_ptr<MailJob> &job : running) {
        for (const curl_socket_t s : std::as_const(job->sockets))
            shutdown(s, SHUT_RDWR);
        curl_multi_remove_handle(multi, job->easy);
    }
    curl_multi_cleanup(multi);
    running.clear();
}

void MailSender::deliverFinished()
{
    std::vector<Finished> finished;
    {
        std::lock_guard lock(m_mutex);
        finished.swap(m_finished);
    }
    for (const Finished &f : finished) {
        if (auto done = m_done.take(f.id))
            done(f.outcome);
    }
}

void MailSender::abortAll()
{
    {
        std::lock_guard lock(m_mutex);
        m_abort = true;
        if (m_multi)
            curl_multi_wakeup(static_cast<CURLM *>(m_multi));
    }
    if (m_worker.joinable())
        m_worker.join();
    {
        std::lock_guard lock(m_mutex);
        m_abort = false;
        m_working = false;
        m_queue.clear();
    }
    // What the worker finished before it stopped is told as it went.
    deliverFinished();
    const auto left = std::exchange(m_done, {});
    for (const auto &done : left)
        done({ false, u"終了のため送るのをやめました。"_s });
}
