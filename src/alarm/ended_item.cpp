#include "ended_item.h"

#include <QDate>
#include <QStringList>
#include <QTime>

using namespace Qt::StringLiterals;

namespace {

// Plain unsigned decimal digits, nothing else; -1 otherwise.
int digitsValue(const QString &text)
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

QDate endDate(const QString &endTime)
{
    QString datePart = endTime.left(8);
    while (datePart.endsWith(u' '))
        datePart.chop(1);
    const QStringList parts = QString(u"20"_s + datePart).split(u'/');
    if (parts.size() != 3)
        return {};
    return QDate(digitsValue(parts[0]), digitsValue(parts[1]), digitsValue(parts[2]));
}

QTime endClockTime(const QString &endTime)
{
    const QStringList parts = endTime.mid(9, 5).split(u':');
    if (parts.size() != 2)
        return {};
    return QTime(digitsValue(parts[0].trimmed()), digitsValue(parts[1].trimmed()));
}

} // namespace

bool endTimeHasPassed(const QString &endTime, const QDateTime &now)
{
    const QDate date = endDate(endTime);
    const QTime time = endClockTime(endTime);
    if (!date.isValid() || !time.isValid())
        return false;
    const QDate today = now.date();
    return date < today || (date == today && time < now.time());
}
