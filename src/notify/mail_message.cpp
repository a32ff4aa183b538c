#include "mail_message.h"

#include "remote_notice.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

// Words as the alert's text begins: what a glance at the list of mail tells.
constexpr int kLeadWords = 40;

bool isPlainAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

// Lines of at most 76 characters, as MIME wants base64 bodies.
QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        lines += encoded.mid(at, 76) + "\r\n";
    return lines;
}

QByteArray crlf(const QString &text)
{
    QString lines = text;
    lines.replace(u"\r\n"_s, u"\n"_s);
    lines.replace(u'\n', u"\r\n"_s);
    return lines.toUtf8();
}

} // namespace

namespace MailMessage {

QString subject(const RemoteNotice &notice)
{
    QString lead = notice.text.simplified();
    const qsizetype quote = lead.indexOf(u'「');
    if (!notice.itemTitle.isEmpty() && quote >= 0)
        lead = lead.left(quote).trimmed();
    if (lead.size() > kLeadWords)
        lead = lead.left(kLeadWords) + u'…';
    QString s = u"[Larkvane] "_s + lead;
    if (!notice.itemTitle.isEmpty() && !lead.contains(notice.itemTitle))
        s += u" 「"_s + notice.itemTitle.simplified() + u'」';
    return s;
}

QByteArray encodedWords(const QString &text)
{
    if (isPlainAscii(text))
        return text.toLatin1();
    // "=?UTF-8?B?" and "?=" take 12 of a word's 75 characters; 45 bytes
    // are 60 base64 characters.
    constexpr qsizetype kBytesPerWord = 45;
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size();) {
        // A character is one code point, two UTF-16 units for a surrogate pair.
        const qsizetype units = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, units).toUtf8();
        if (chunk.size() + bytes.size() > kBytesPerWord) {
            words << chunk;
            chunk.clear();
        }
        chunk += bytes;
        i += units;
    }
    if (!chunk.isEmpty())
        words << chunk;
    QByteArray out;
    for (const QByteArray &word : std::as_const(words)) {
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + word.toBase64() + "?=";
    }
    return out;
}

QByteArray compose(
    const QString &from, const QStringList &to, const RemoteNotice &notice, const QDateTime &now)
{
    const QString domain = from.mid(from.lastIndexOf(u'@') + 1);
    const QByteArray id = QByteArray::number(now.toMSecsSinceEpoch()) + '.'
        + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + '@' + domain.toUtf8();

    QString body = notice.textWithTitle();
    if (!notice.itemUrl.isEmpty())
        body += u"\n\n"_s + notice.itemUrl;
    body += u"\n\n-- \nLarkvane\n"_s;

    QByteArray m;
    m += "From: " + from.toUtf8() + "\r\n";
    m += "To: " + to.join(u", "_s).toUtf8() + "\r\n";
    m += "Subject: " + encodedWords(subject(notice)) + "\r\n";
    m += "Date: " + now.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    m += "Message-ID: <" + id + ">\r\n";
    // Tells mail programs and servers not to answer it (RFC 3834).
    m += "Auto-Submitted: auto-generated\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\n";
    m += "Content-Transfer-Encoding: base64\r\n";
    m += "\r\n";
    m += base64Lines(crlf(body));
    return m;
}

} // namespace MailMessage
