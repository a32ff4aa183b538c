#include "readable_colour.h"

#include <QLineEdit>
#include <QPalette>
#include <QWidget>

#include <cmath>

namespace {

// What the program's own colours have against a light window (its red on
// white is 4.0), and what a colour made anew aims at.
constexpr double kReadsAlready = 3.0;
constexpr double kMadeToRead = 4.5;

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

// Text boxes draw on Base, everything else on Window.
QPalette::ColorRole backgroundOf(const QWidget *w)
{
    return qobject_cast<const QLineEdit *>(w) ? QPalette::Base : QPalette::Window;
}

void setTextRoles(QPalette &p, const QColor &colour)
{
    p.setColor(QPalette::Text, colour);
    p.setColor(QPalette::WindowText, colour);
}

} // namespace

namespace ReadableColour {

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a) + 0.05;
    const double lb = luminance(b) + 0.05;
    return la > lb ? la / lb : lb / la;
}

QColor on(const QColor &background, const QColor &fixed)
{
    if (contrast(background, fixed) >= kReadsAlready)
        return fixed;
    const QColor hsl = fixed.toHsl();
    const bool lighter = luminance(background) < 0.18;
    // Lightness in small steps towards white (or black), hue kept.
    for (int step = 1; step <= 20; ++step) {
        const double l = lighter ? hsl.lightnessF() + (1.0 - hsl.lightnessF()) * step / 20.0
                                 : hsl.lightnessF() * (20 - step) / 20.0;
        const QColor candidate = QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), l).toRgb();
        if (contrast(background, candidate) >= kMadeToRead)
            return candidate;
    }
    return lighter ? QColor(Qt::white) : QColor(Qt::black);
}

void setText(QWidget *w, const QColor &fixed)
{
    QPalette p = w->palette();
    setTextRoles(p, on(p.color(backgroundOf(w)), fixed));
    w->setPalette(p);
}

void setPair(QWidget *w, const QColor &background, const QColor &text)
{
    QPalette p = w->palette();
    p.setColor(backgroundOf(w), background);
    setTextRoles(p, text);
    w->setPalette(p);
}

} // namespace ReadableColour
