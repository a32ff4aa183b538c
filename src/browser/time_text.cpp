#include "time_text.h"

#include "clock.h"

using namespace Qt::StringLiterals;

QString timeText(const QDateTime &instant)
{
    return instant.toOffsetFromUtc(kJapanOffsetSeconds).toString(u"yy/MM/dd HH:mm"_s);
}

QDateTime parseTimeText(QStringView text)
{
    // Exactly 14 characters: dd/dd/dd dd:dd.
    static constexpr QStringView shape = u"00/00/00 00:00";
    if (text.size() != shape.size())
        return {};
    for (qsizetype i = 0; i < shape.size(); ++i) {
        const bool wantDigit = shape[i] == u'0';
        const bool isDigit = text[i] >= u'0' && text[i] <= u'9';
        if (wantDigit ? !isDigit : text[i] != shape[i])
            return {};
    }
    auto two
        = [&](qsizetype at) { return (text[at].unicode() - u'0') * 10 + (text[at + 1].unicode() - u'0'); };
    const QDate date(2000 + two(0), two(3), two(6));
    const QTime time(two(9), two(12));
    if (!date.isValid() || !time.isValid())
        return {};
    return japanDateTime(date, time);
}
