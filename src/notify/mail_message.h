#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

struct RemoteNotice;

// The mail for one notice, ready for SMTP: UTF-8 throughout, so the headers
// with Japanese in them (the subject) are encoded words, and the body is
// base64, which any server passes on, with or without 8BITMIME.
namespace MailMessage {

// "[Larkvane] " and the alert's first words, up to the item's title, then
// the title: "[Larkvane] あと、およそ 2分 30秒で 「腕時計」".
QString subject(const RemoteNotice &notice);

// The whole message with CR LF line ends: From, To, Subject, Date (of `now`),
// Message-ID (unique, at the sender's domain), MIME headers, and the body
// (the text with the item's title and address).
QByteArray compose(
    const QString &from, const QStringList &to, const RemoteNotice &notice, const QDateTime &now);

// A header value as RFC 2047 encoded words ("=?UTF-8?B?...?="), each at
// most 75 characters and never cutting a character, folded onto lines of
// their own; plain ASCII stays as it is.
QByteArray encodedWords(const QString &text);

} // namespace MailMessage
