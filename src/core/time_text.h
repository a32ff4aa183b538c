#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QTime>

// The program's date-time text, yy/mm/dd hh:mm in Japan time (20yy), as the
// slots, the status list and the settings file hold it. This is its one
// reader.

// The instant in that form (seconds dropped).
QString timeText(const QDateTime &instant);

// What a stored text names, read as a hand-edited settings file may hold it:
// the first eight characters are the date (blanks after it allowed, "26/12/9 "),
// the five from the tenth the time; digits only. Invalid parts otherwise.
struct TimeTextParts
{
    QDate date;
    QTime time;
    bool isValid() const { return date.isValid() && time.isValid(); }
};
TimeTextParts readTimeText(QStringView text);

// The instant a text names when it is exactly that form, as the program
// writes it; an invalid QDateTime for anything else ("N/A", "", "13/45/99 ...",
// "26/12/9  10:00").
QDateTime parseTimeText(QStringView text);
