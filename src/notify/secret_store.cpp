#include "secret_store.h"

#include "log.h"

#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

SecretStore::SecretStore(QString service, QObject *parent)
    : QObject(parent)
    , m_service(std::move(service))
{
}

QString SecretStore::key(Secret secret)
{
    return secret == Secret::NtfyToken ? u"ntfy token"_s : u"mail password"_s;
}

void SecretStore::get(Secret secret, QObject *context, std::function<void(const QString &)> then)
{
    Entry &entry = m_entries[secret];
    if (entry.known) {
        then(entry.value);
        return;
    }
    entry.waiting.append({ QPointer<QObject>(context), std::move(then) });
    if (!entry.reading)
        read(secret);
}

void SecretStore::read(Secret secret)
{
    m_entries[secret].reading = true;
    // No parent: a job is deleted by itself once finished, and the keyring's
    // answer must find it even should this store be gone by then.
    auto *job = new QKeychain::ReadPasswordJob(m_service);
    job->setKey(key(secret));
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, [this, secret](QKeychain::Job *done) {
        Entry &entry = m_entries[secret];
        entry.reading = false;
        const QKeychain::Error error = done->error();
        // A secret put meanwhile is newer than what the keyring held.
        if (!entry.known && error == QKeychain::NoError)
            entry.value = static_cast<QKeychain::ReadPasswordJob *>(done)->textData();
        entry.known = true;
        noteKeyring(error == QKeychain::NoError || error == QKeychain::EntryNotFound);
        // Not a warning: a desktop without a keyring is a setting of its
        // own, and the settings dialog says what follows from it.
        if (error != QKeychain::NoError && error != QKeychain::EntryNotFound)
            qCInfo(lcNotify).noquote() << "the keyring gave no" << key(secret) << "-" << done->errorString();
        const auto waiting = std::exchange(entry.waiting, {});
        const QString value = entry.value;
        for (const auto &[context, then] : waiting) {
            if (context)
                then(value);
        }
    });
    job->start();
}

void SecretStore::put(Secret secret, const QString &value, QObject *context, std::function<void(bool)> then)
{
    Entry &entry = m_entries[secret];
    entry.known = true;
    entry.value = value;
    const QPointer<QObject> guard(context);
    // A read under way would answer with what the keyring held before.
    const auto waiting = std::exchange(entry.waiting, {});
    for (const auto &[waiter, callback] : waiting) {
        if (waiter)
            callback(value);
    }

    QKeychain::Job *job = nullptr;
    if (value.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(m_service);
    } else {
        auto *write = new QKeychain::WritePasswordJob(m_service);
        write->setTextData(value);
        job = write;
    }
    job->setKey(key(secret));
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, [this, secret, guard, then](QKeychain::Job *done) {
        const QKeychain::Error error = done->error();
        // Nothing to remove is as good as removed.
        const bool stored = error == QKeychain::NoError
            || (error == QKeychain::EntryNotFound && m_entries.value(secret).value.isEmpty());
        noteKeyring(stored);
        if (stored)
            qCInfo(lcNotify).noquote() << key(secret) << "kept in the keyring";
        else
            qCWarning(lcNotify).noquote() << key(secret) << "kept for this run only:" << done->errorString();
        if (guard && then)
            then(stored);
    });
    job->start();
}

void SecretStore::noteKeyring(bool answers)
{
    const Keyring now = answers ? Keyring::Answers : Keyring::Absent;
    if (now == m_keyring)
        return;
    m_keyring = now;
    Q_EMIT keyringKnown(now);
}
