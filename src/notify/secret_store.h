#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// The ntfy token and the mail password, kept in the desktop's keyring (the
// Secret Service, through QtKeychain) and never in larkvane.ini. Where no
// keyring answers, a secret lives in memory for this run only. Every answer
// comes later, on this thread, and only while `context` lives.
class SecretStore : public QObject
{
    Q_OBJECT
public:
    enum class Secret { NtfyToken, MailPassword };
    enum class Keyring { Unknown, Answers, Absent };

    explicit SecretStore(QString service = QStringLiteral("Larkvane"), QObject *parent = nullptr);

    // From memory once known, else from the keyring; empty when there is none.
    void get(Secret secret, QObject *context, std::function<void(const QString &)> then);
    // Kept in memory at once, and written to the keyring (an empty one is
    // removed from it); `then` says whether the keyring has it now.
    void put(Secret secret, const QString &value, QObject *context, std::function<void(bool inKeyring)> then);

    // Whether a keyring has answered yet, and how.
    Keyring keyring() const { return m_keyring; }

Q_SIGNALS:
    void keyringKnown(SecretStore::Keyring keyring);

private:
    struct Entry
    {
        bool known = false;
        bool reading = false;
        QString value;
        QList<std::pair<QPointer<QObject>, std::function<void(const QString &)>>> waiting;
    };
    void read(Secret secret);
    void noteKeyring(bool answers);
    static QString key(Secret secret);

    QString m_service;
    Keyring m_keyring = Keyring::Unknown;
    QHash<Secret, Entry> m_entries;
};
