#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

// The program's date-time text, yy/mm/dd hh:mm in Japan time (20yy), as the
// slots, the status list and the settings file hold it.

// The instant in that form (seconds dropped).
QString timeText(const QDateTime &instant);

// The instant such a text names, or an invalid QDateTime when the text is not
// exactly that form or names no real date and time ("N/A", "", "13/45/99 ...").
QDateTime parseTimeText(QStringView text);
