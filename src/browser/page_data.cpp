#include "page_data.h"

#include "clock.h"

#include <QJsonDocument>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

QDateTime inSlotCentury(const QDateTime &instant)
{
    if (!instant.isValid())
        return {};
    const int year = instant.toOffsetFromUtc(kJapanOffsetSeconds).date().year();
    return year >= 2000 && year <= 2099 ? instant : QDateTime();
}

QDateTime serviceIsoTime(const QString &text)
{
    static const QRegularExpression re(
        uR"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})[T ](\d{1,2}):(\d{2})(?::(\d{2})(?:\.\d+)?)?\s*(Z|[+-]\d{2}(?::?\d{2})?)?\s*$)"_s);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(
        m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).isEmpty() ? 0 : m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    int offset = kJapanOffsetSeconds;
    const QString zone = m.captured(7);
    if (zone == u"Z"_s) {
        offset = 0;
    } else if (!zone.isEmpty()) {
        const QString digits = zone.mid(1).remove(u':');
        const int hours = digits.left(2).toInt();
        const int minutes = digits.size() > 2 ? digits.mid(2, 2).toInt() : 0;
        if (hours > 14 || minutes > 59)
            return {};
        offset = (hours * 3600 + minutes * 60) * (zone.startsWith(u'-') ? -1 : 1);
    }
    return inSlotCentury(QDateTime(date, time, Qt::OffsetFromUTC, offset));
}

QDateTime serviceEpochTime(const QJsonValue &value)
{
    double seconds = 0;
    if (value.isDouble()) {
        seconds = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        seconds = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            return {};
    } else {
        return {};
    }
    if (!(seconds > 0 && seconds < 8.0e9))
        return {};
    return inSlotCentury(
        QDateTime::fromSecsSinceEpoch(qint64(seconds), Qt::OffsetFromUTC, kJapanOffsetSeconds));
}

QJsonObject nextDataObject(QByteArrayView body)
{
    static constexpr QByteArrayView tag = "<script id=\"__NEXT_DATA__\"";
    const qsizetype at = body.indexOf(tag);
    if (at < 0)
        return {};
    const qsizetype open = body.indexOf('>', at + tag.size());
    if (open < 0)
        return {};
    const qsizetype close = body.indexOf(QByteArrayView("</script>"), open);
    if (close < 0)
        return {};
    return parseJsonObject(body.sliced(open + 1, close - open - 1));
}

QJsonObject parseJsonObject(QByteArrayView json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(
        json.isValidUtf8() ? json.toByteArray() : QString::fromUtf8(json).toUtf8(), &error);
    return error.error == QJsonParseError::NoError ? doc.object() : QJsonObject();
}

QJsonValue jsonAt(QJsonValue node, std::initializer_list<QString> keys)
{
    for (const QString &key : keys)
        node = node.toObject().value(key);
    return node;
}

QString jsonText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'f', 0);
    return QString();
}
