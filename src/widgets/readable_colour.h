#pragma once

#include <QColor>

class QWidget;

// The colours the program fixes, kept readable whatever the theme puts
// around them. A fixed background always comes with its own text colour; a
// fixed text colour on the theme's background keeps its hue but is made
// lighter on a dark theme, as far as it takes to read.
namespace ReadableColour {

// The contrast ratio of two colours as WCAG 2 counts it, from 1 to 21.
double contrast(const QColor &a, const QColor &b);

// `fixed` where it reads on `background` already (the program's own colours
// all do on a light theme); else the same hue, lighter or darker.
QColor on(const QColor &background, const QColor &fixed);

// `w`'s text in `fixed`, made readable on the background `w` is drawn on
// (its Base for a text box, its Window otherwise).
void setText(QWidget *w, const QColor &fixed);

// A fixed background with its fixed text, for a text box or a label.
void setPair(QWidget *w, const QColor &background, const QColor &text);

} // namespace ReadableColour
