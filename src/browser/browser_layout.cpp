#include "browser_layout.h"

using namespace Qt::StringLiterals;

namespace BrowserLayout {

int browserTop(const QString &tbar1)
{
    return tbar1 == u"1"_s ? kToolbarHeight : 0;
}

std::optional<QSize> browserSize(
    QSize inner, int browserLeft, int stsBarHeight, int stsBar2Height, const QString &tbar1)
{
    const int width = inner.width() - 2 * browserLeft;
    const int height = inner.height() - stsBarHeight - stsBar2Height - browserTop(tbar1);
    if (width < 0 || height < 0)
        return std::nullopt;
    return QSize(width, height);
}

QPoint backButtonPos(const QString &tbar2mode, const QRect &browser)
{
    const int l = browser.x();
    const int t = browser.y();
    const int w = browser.width();
    const int h = browser.height();
    // 120 from the left, top and bottom edges; 420 from the right edge once
    // both buttons are counted.
    if (tbar2mode == u"0"_s)
        return { l + 120, t + 120 };
    if (tbar2mode == u"1"_s)
        return { l + w - 2055, t + 120 };
    if (tbar2mode == u"2"_s)
        return { l + 120, t + h - 915 };
    if (tbar2mode == u"3"_s)
        return { l + w - 2055, t + h - 915 };
    return { 0, 0 };
}

QPoint forwardButtonPos(const QString &tbar2mode, const QRect &browser)
{
    return backButtonPos(tbar2mode, browser) + QPoint(kButtonStep, 0);
}

} // namespace BrowserLayout
