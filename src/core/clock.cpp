#include "clock.h"


QDateTime JapanClock::now() const
{
    return QDateTime::currentDateTimeUtc().toOffsetFromUtc(kJapanOffsetSeconds);
}

QDateTime japanDateTime(QDate date, QTime time)
{
    return QDateTime(date, time, Qt::OffsetFromUTC, kJapanOffsetSeconds);
}
