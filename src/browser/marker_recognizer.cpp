#include "marker_recognizer.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The markers as code page 932 reads the pages' bytes. On a Yahoo! page they
// are halves of EUC-JP characters: ｳｫｻﾏﾆ is 開始日 without its last byte,
// ｽｪﾎｻﾆ is 終了日 likewise, and ｷ, ﾆ, ｻ are the first bytes of 月, 日, 時.
// The title marker is "Yahoo!" and the EUC-JP bytes of オークション, whose
// last byte pair reads as 逾 and whose F3 lead byte, left without a partner,
// reads as ・.
constexpr QStringView kYahooTitle
    = u"Yahoo!\uFF65\uFF6A\uFF61\uFF7C\uFF65\uFF6F\uFF65\uFF77\uFF65\u903E\u30FB";
constexpr QStringView kBiddersTitle = u"[ビッダーズ]";
constexpr QStringView kYahooStart = u"\uFF73\uFF6B\uFF7B\uFF8F\uFF86";
constexpr QStringView kYahooEnd = u"\uFF7D\uFF6A\uFF8E\uFF7B\uFF86";
constexpr QChar kMonthMark = u'\uFF77';
constexpr QChar kDayMark = u'\uFF86';
constexpr QChar kHourMark = u'\uFF7B';
constexpr QStringView kBiddersEnd = u"終了時間";

constexpr qsizetype kKindWindow = 500;

// Leading blanks skipped, then the longest run of ASCII digits; 0 if none.
int leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    int value = 0;
    qsizetype digits = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        // The numbers here are months, days and hours; a run long enough to
        // overflow is no date, and stays large instead of wrapping.
        if (value < 100000000)
            value = value * 10 + (text[i].unicode() - u'0');
        ++digits;
    }
    return digits ? value : 0;
}

QString blanksTrimmed(QString text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text[b] == u' ')
        ++b;
    while (e > b && text[e - 1] == u' ')
        --e;
    return text.mid(b, e - b);
}

QString withoutBlanks(QString text)
{
    return text.remove(u' ');
}

QString yearDigits(int year)
{
    return QString::number(year).right(2);
}

// The window's digits and separators as "m/d hh:mm"; nothing when the text is
// too short for the hour or the minute step.
std::optional<QString> assemble(QStringView window)
{
    QString t;
    for (QChar ch : window) {
        if (ch >= u'0' && ch <= u'9') {
            t += ch;
        } else if (ch == kMonthMark) {
            t += u'/';
        } else if (ch == kDayMark) {
            t += u' ';
        } else if (ch == kHourMark) {
            if (t.size() < 2)
                return std::nullopt;
            const int hour = leadingNumber(QStringView(t).right(2));
            t.chop(2);
            while (t.endsWith(u' '))
                t.chop(1);
            t += (hour < 10 ? u" 0"_s : u" "_s) + QString::number(hour) + u':';
        }
    }
    if (t.size() < 2)
        return std::nullopt;
    if (t[t.size() - 2] == u':')
        t.insert(t.size() - 1, u'0');
    if (t[1] == u'/')
        t.prepend(u'0');
    if (t.size() >= 5 && t[4] == u' ')
        t = t.left(3) + u'0' + t.mid(3);
    return t;
}

int monthOf(const QString &t)
{
    return leadingNumber(QStringView(t).left(2));
}

int startYear(int month, QDate today)
{
    return month > today.month() ? today.year() - 1 : today.year();
}

int endYear(int month, QDate today)
{
    return month < today.month() ? today.year() + 1 : today.year();
}

// Positions in these readers count from 1 with 0 for "not found", so that the
// offsets keep their meaning; `mid1` takes such a position.
qsizetype find1(QStringView haystack, QStringView needle)
{
    return haystack.indexOf(needle) + 1;
}

QString mid1(QStringView text, qsizetype position, qsizetype length)
{
    const qsizetype from = position - 1;
    if (from < 0 || from >= text.size())
        return QString();
    return text.mid(from, length).toString();
}

void readYahoo(QStringView source, QDate today, MarkerReading &r)
{
    const qsizetype p = find1(source, kYahooStart);
    if (p == 0)
        return;
    const QString startWindow = mid1(source, p + 64, 16);
    // A page without the end marker is read at 61 all the same.
    const qsizetype q = find1(source, kYahooEnd);
    const QString endWindow = mid1(source, q + 61, 16);

    const std::optional<QString> start = assemble(startWindow);
    if (!start) {
        r.complete = false;
        return;
    }
    r.start = yearDigits(startYear(monthOf(*start), today)) + u'/' + blanksTrimmed(*start);

    const std::optional<QString> end = assemble(endWindow);
    if (!end) {
        r.complete = false;
        return;
    }
    r.end = yearDigits(endYear(monthOf(*end), today)) + u'/' + blanksTrimmed(*end);
}

void readBidders(QStringView source, QDate today, MarkerReading &r)
{
    const qsizetype p = find1(source, kBiddersEnd);
    r.start = u"N/A"_s;
    QString w = mid1(source, p + 100, 30);
    const qsizetype g = find1(w, u">") + 1;
    w = mid1(w, g, 12);

    const qsizetype slash = find1(w, u"/");
    const QString month = slash == 2 ? u"0"_s + w.left(1) : w.left(2);
    QString day = withoutBlanks(mid1(w, slash + 1, 2));
    if (day.size() == 1)
        day.prepend(u'0');

    const qsizetype c = find1(w, u":");
    if (c < 3) {
        // No ":" (or one at the very start): there is no hour in the window.
        r.complete = false;
        return;
    }
    const QString pad = w[c - 3] == u' ' ? u"0"_s : QString();
    const QString time = pad + withoutBlanks(mid1(w, c - 2, 5));
    const QString t = month + u'/' + day + u' ' + time;
    r.end = yearDigits(endYear(leadingNumber(month), today)) + u'/' + blanksTrimmed(t);
}

} // namespace

MarkerReading recognizeMarkers(QStringView source, QDate today)
{
    MarkerReading r;
    const QStringView head = source.left(kKindWindow);
    if (head.contains(kYahooTitle))
        r.kind = MarkerReading::Kind::Yahoo;
    if (head.contains(kBiddersTitle))
        r.kind = MarkerReading::Kind::Bidders;

    switch (r.kind) {
    case MarkerReading::Kind::Yahoo:
        readYahoo(source, today, r);
        break;
    case MarkerReading::Kind::Bidders:
        readBidders(source, today, r);
        break;
    case MarkerReading::Kind::None:
        break;
    }
    return r;
}
