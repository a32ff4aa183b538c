#include "ended_item.h"

#include "time_text.h"

bool endTimeHasPassed(const QString &endTime, const QDateTime &now)
{
    const TimeTextParts end = readTimeText(endTime);
    if (!end.isValid())
        return false;
    const QDate today = now.date();
    return end.date < today || (end.date == today && end.time < now.time());
}
