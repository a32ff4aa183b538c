#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

// Where the browser area and the two floating buttons go inside the browser
// window, in twips. The settings dialog and the window's own resize both lay
// out through here.
namespace BrowserLayout {

// The window's width until the user gives it another.
inline constexpr int kDefaultWidth = 10000;
// The toolbar is taken as this tall whatever it measures.
inline constexpr int kToolbarHeight = 600;
inline constexpr int kButtonSize = 795;
// bt02 sits this far right of bt01.
inline constexpr int kButtonStep = 840;

// 600 below the top edge when the toolbar is on ("1"), else at the top.
int browserTop(const QString &tbar1);

// The browser's size inside a client area of `inner` with the two status
// bars' heights; none when it would be negative (a window shrunk or
// minimized), in which case the layout is left as it was.
std::optional<QSize> browserSize(
    QSize inner, int browserLeft, int stsBarHeight, int stsBar2Height, const QString &tbar1);

// The top-left of bt01 for the corner `tbar2mode` ("0" top left, "1" top
// right, "2" bottom left, "3" bottom right) of `browser`; (0, 0) for any
// other text.
QPoint backButtonPos(const QString &tbar2mode, const QRect &browser);
QPoint forwardButtonPos(const QString &tbar2mode, const QRect &browser);

} // namespace BrowserLayout
