#pragma once

#include <QDateTime>
#include <QString>

// Whether an auction whose end time is stored as "yy/mm/dd hh:mm" has ended
// at `now` (Japan time). Only hours and minutes count: an item ending at 23:59
// has ended from 23:59:01 on. A text not in that form has not ended, so a
// damaged settings file shows its row white instead of breaking the list.
bool endTimeHasPassed(const QString &endTime, const QDateTime &now);
