#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// Auction times are Japan time (UTC+9, no daylight saving) whatever this
// machine's zone is; every "today", "now" and "seconds until" comes from here.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class JapanClock final : public Clock
{
public:
    QDateTime now() const override;
};

// The instant of a Japan-time calendar date and time of day.
QDateTime japanDateTime(QDate date, QTime time);

inline constexpr int kJapanOffsetSeconds = 9 * 3600;
// Longer than any auction runs, or any cache keeps a page.
inline constexpr qint64 kYearSeconds = 366LL * 24 * 3600;
