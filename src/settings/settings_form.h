#pragma once

#include <QString>

#include <optional>

class StateStore;

// The lead time in seconds as the dialog stores it when the number was typed
// in minutes: the number times 60 in double precision, written as plain
// decimal text of at most 15 significant digits with no trailing zeros
// ("1.5" gives "90", "0.1" gives "6"). Empty when the text is not a number.
std::optional<QString> minutesToSeconds(const QString &number);

// A double as plain decimal text (never exponent notation), rounded to 15
// significant digits, trailing zeros dropped.
QString decimalText(double value);

// What the settings dialog's controls hold, without the controls: the load
// step fills it from the store, the option and preset buttons change it, and
// the closing button validates it and writes it back.
class SettingsForm
{
public:
    // The state of an exclusive "表示" / "非表示" pair. A hand-edited file can
    // hold a value that selects neither.
    enum class Pair { Neither, Shown, Hidden };
    enum class Unit { Seconds = 0, Minutes = 1 };
    enum class Problem { None, NoCorner, NotANumber };

    static constexpr int kNoCorner = -1;
    static constexpr int kPresets = 6;

    static SettingsForm fromStore(const StateStore &store);

    // The corner list index a stored tbar2mode selects: its numeric value
    // rounded to the nearest integer, kNoCorner outside the four corners.
    static int cornerFromText(const QString &tbar2mode);

    QString leadNumber = QStringLiteral("0");
    Unit leadUnit = Unit::Seconds;
    QString soundPath;
    bool startInTray = false;
    Pair toolbar = Pair::Neither;

    Pair buttons() const { return m_buttons; }
    // Choosing "非表示" forgets the corner; "表示" keeps whatever is chosen.
    void setButtons(Pair buttons);
    // Only a shown pair of buttons has a corner to choose.
    bool cornerEnabled() const { return m_buttons == Pair::Shown; }
    int corner() const { return m_corner; }
    void setCorner(int corner);

    // The six lead-time buttons, 0 ("30秒") to 5 ("30 分").
    void applyPreset(int index);

    Problem problem() const;
    // The lead in seconds as it will be stored; empty when not a number.
    std::optional<QString> leadSeconds() const;

    // Writes the six fields. Does nothing unless problem() is None.
    bool store(StateStore &store) const;

    // What the browser window has to do with its bars afterwards, in the
    // terms of BrowserHost::applyBars: 1 show, 0 hide, -1 leave alone.
    int toolbarRequest() const;
    int buttonsRequest() const;

private:
    Pair m_buttons = Pair::Neither;
    int m_corner = kNoCorner;
};
