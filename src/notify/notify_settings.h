#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class StateStore;

enum class MailSecurity { StartTls, Tls, None };

// What [Notify] says, as the settings dialog shows it: which channels are on
// and where they go. Texts stay as typed; the rules below read them.
struct NotifySettings
{
    static inline const QString kDefaultServer = QStringLiteral("https://ntfy.sh");

    bool ntfy = false;
    QString ntfyServer = kDefaultServer;
    QString ntfyTopic;
    bool mail = false;
    QString mailHost;
    QString mailPort; // empty: the port of the security chosen
    MailSecurity mailSecurity = MailSecurity::StartTls;
    QString mailUser;
    QString mailFrom;
    QString mailTo; // one address, or several separated by commas

    // Empty fields (a file from before these settings) give the defaults:
    // both channels off, ntfy.sh, STARTTLS on 587.
    static NotifySettings fromStore(const StateStore &store);
    void store(StateStore &store) const;

    // What is wrong with a channel that is switched on, said for the user;
    // empty when both can be used as they are.
    QString problem() const;

    // <server>/<topic>.
    QUrl ntfyUrl() const;
    // The port to use: as typed, or the security's own; 0 when not a port.
    int port() const;
    QStringList recipients() const;
    // Whether mail leaves this machine in the clear: only to its own server.
    bool isLocalHost() const;

    static int defaultPort(MailSecurity security);
    static QString securityKey(MailSecurity security); // "starttls", "tls", "none"
    static MailSecurity securityFromKey(const QString &key);
};
