#include "time_text.h"

#include "clock.h"

using namespace Qt::StringLiterals;

namespace {

// Plain unsigned decimal digits, one to four; -1 otherwise.
int digitsValue(QStringView text)
{
    if (text.isEmpty() || text.size() > 4)
        return -1;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

QString timeText(const QDateTime &instant)
{
    return instant.toOffsetFromUtc(kJapanOffsetSeconds).toString(u"yy/MM/dd HH:mm"_s);
}

TimeTextParts readTimeText(QStringView text)
{
    TimeTextParts parts;
    QStringView date = text.left(8);
    while (date.endsWith(u' '))
        date.chop(1);
    const QList<QStringView> ymd = date.split(u'/');
    if (ymd.size() == 3) {
        const int y = digitsValue(ymd[0]);
        if (y >= 0)
            parts.date = QDate(2000 + y, digitsValue(ymd[1]), digitsValue(ymd[2]));
    }
    const QList<QStringView> hm = text.mid(9, 5).split(u':');
    if (hm.size() == 2)
        parts.time = QTime(digitsValue(hm[0]), digitsValue(hm[1]));
    return parts;
}

QDateTime parseTimeText(QStringView text)
{
    const TimeTextParts parts = readTimeText(text);
    if (!parts.isValid())
        return {};
    const QDateTime instant = japanDateTime(parts.date, parts.time);
    // Only the form the program writes, to the character.
    return timeText(instant) == text ? instant : QDateTime();
}
