#include "numeric.h"

#include <cmath>

using namespace Qt::StringLiterals;

double numericValue(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    qsizetype digits = 0;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == u'.') {
        qsizetype j = i + 1;
        qsizetype fraction = 0;
        while (j < n && text[j] >= u'0' && text[j] <= u'9') {
            ++j;
            ++fraction;
        }
        if (fraction > 0 || digits > 0) {
            digits += fraction;
            i = j;
        }
    }
    if (digits == 0)
        return 0.0;
    bool ok = false;
    const double v = text.mid(start, i - start).toString().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return 0.0;
    return v;
}

QString plainNumber(double value)
{
    if (value == 0.0 || !std::isfinite(value))
        return u"0"_s;
    if (value == std::trunc(value) && std::fabs(value) < 9.0e18)
        return QString::number(static_cast<qint64>(value));
    // 15 significant digits written out in full: an exponent ("1e+20") would
    // read back through numericValue() as 1.
    const int magnitude = int(std::floor(std::log10(std::fabs(value))));
    QString text = QString::number(value, 'f', qBound(0, 14 - magnitude, 400));
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}

QString signedForm(double value)
{
    const QString plain = plainNumber(value);
    return value < 0 ? plain : u" "_s + plain;
}
