#include "display_text.h"

#include <QList>

using namespace Qt::StringLiterals;

namespace {

constexpr char16_t kFirstStrongIsolate = u'\u2068';
constexpr char16_t kPopDirectionalIsolate = u'\u2069';

bool runsRightToLeft(char32_t c)
{
    const QChar::Direction d = QChar::direction(c);
    return d == QChar::DirR || d == QChar::DirAL;
}

} // namespace

QString displayText(const QString &title, const QString &fallback)
{
    QString shown;
    shown.reserve(title.size());
    bool rightToLeft = false;
    bool visible = false;
    for (const char32_t c : title.toUcs4()) {
        if (QChar::category(c) == QChar::Other_Format)
            continue;
        rightToLeft = rightToLeft || runsRightToLeft(c);
        visible = visible || !QChar::isSpace(c);
        shown += QString::fromUcs4(&c, 1);
    }
    if (!visible)
        return fallback;
    if (rightToLeft)
        return QChar(kFirstStrongIsolate) + shown + QChar(kPopDirectionalIsolate);
    return shown;
}

QString withoutMarkup(const QString &text)
{
    QString out = text;
    out.replace(u'<', u'＜').replace(u'>', u'＞').replace(u'&', u'＆');
    return out;
}
