#include "settings_form.h"

#include "numeric.h"
#include "settings_fields.h"
#include "state_store.h"

#include <QRegularExpression>

#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A whole text that is a decimal number, blanks around it allowed.
std::optional<double> parseNumber(const QString &text)
{
    static const QRegularExpression number(
        uR"(^[ \t]*[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?[ \t]*$)"_s);
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

struct Preset
{
    const char16_t *number;
    SettingsForm::Unit unit;
};

constexpr std::array<Preset, SettingsForm::kPresets> kPresetTable { {
    { u"30", SettingsForm::Unit::Seconds },
    { u"1", SettingsForm::Unit::Minutes },
    { u"3", SettingsForm::Unit::Minutes },
    { u"5", SettingsForm::Unit::Minutes },
    { u"10", SettingsForm::Unit::Minutes },
    { u"30", SettingsForm::Unit::Minutes },
} };

} // namespace

QString decimalText(double value)
{
    if (value == 0.0 || !std::isfinite(value))
        return u"0"_s;
    // 'e' with 14 decimals is exactly 15 significant digits, rounded once;
    // the digits are then laid out without an exponent.
    const QString scientific = QString::number(std::fabs(value), 'e', 14);
    const qsizetype e = scientific.indexOf(u'e');
    QString digits = scientific.left(e);
    digits.remove(u'.');
    const int exponent = scientific.mid(e + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);

    QString text;
    if (exponent >= 0) {
        const qsizetype whole = exponent + 1;
        if (digits.size() <= whole) {
            text = digits + QString(whole - digits.size(), u'0');
        } else {
            text = digits.left(whole) + u'.' + digits.mid(whole);
        }
    } else {
        text = u"0."_s + QString(-exponent - 1, u'0') + digits;
    }
    return value < 0 ? u'-' + text : text;
}

std::optional<QString> minutesToSeconds(const QString &number)
{
    const std::optional<double> minutes = parseNumber(number);
    if (!minutes)
        return std::nullopt;
    const double seconds = *minutes * 60.0;
    if (!std::isfinite(seconds))
        return std::nullopt;
    return decimalText(seconds);
}

int SettingsForm::cornerFromText(const QString &tbar2mode)
{
    // Ties go to the even neighbour, as the stored files' writer rounded.
    const double rounded = std::nearbyint(numericValue(tbar2mode));
    if (rounded < 0 || rounded > 3)
        return kNoCorner;
    return static_cast<int>(rounded);
}

SettingsForm SettingsForm::fromStore(const StateStore &store)
{
    SettingsForm form;
    // The lead is always shown in seconds, whatever unit it was typed in.
    form.leadNumber = store.value(Setting::kLeadSeconds);
    form.leadUnit = Unit::Seconds;
    form.soundPath = store.value(Setting::kSoundFile);
    form.startInTray = store.value(Setting::kStartInTray) == u"1"_s;

    const QString tbar1 = store.value(Setting::kToolbar);
    form.toolbar = tbar1 == u"1"_s ? Pair::Shown : tbar1 == u"0"_s ? Pair::Hidden : Pair::Neither;

    const QString tbar2 = store.value(Setting::kButtons);
    if (tbar2 == u"1"_s) {
        form.setButtons(Pair::Shown);
        form.setCorner(cornerFromText(store.value(Setting::kButtonsCorner)));
    } else if (tbar2 == u"0"_s) {
        form.setButtons(Pair::Hidden);
    }
    return form;
}

void SettingsForm::setButtons(Pair buttons)
{
    m_buttons = buttons;
    if (buttons != Pair::Shown)
        m_corner = kNoCorner;
}

void SettingsForm::setCorner(int corner)
{
    m_corner = (corner >= 0 && corner <= 3) ? corner : kNoCorner;
}

void SettingsForm::applyPreset(int index)
{
    if (index < 0 || index >= kPresets)
        return;
    leadNumber = QString::fromUtf16(kPresetTable[index].number);
    leadUnit = kPresetTable[index].unit;
}

std::optional<QString> SettingsForm::leadSeconds() const
{
    if (leadUnit == Unit::Minutes)
        return minutesToSeconds(leadNumber);
    // Seconds are stored as typed: the countdown reads any text leniently.
    return leadNumber;
}

SettingsForm::Problem SettingsForm::problem() const
{
    if (m_buttons == Pair::Shown && m_corner == kNoCorner)
        return Problem::NoCorner;
    if (!leadSeconds())
        return Problem::NotANumber;
    return Problem::None;
}

bool SettingsForm::store(StateStore &store) const
{
    if (problem() != Problem::None)
        return false;
    store.setValue(Setting::kLeadSeconds, *leadSeconds());
    store.setValue(Setting::kSoundFile, soundPath);
    store.setValue(Setting::kStartInTray, startInTray ? u"1"_s : u"0"_s);
    if (toolbar == Pair::Shown)
        store.setValue(Setting::kToolbar, u"1"_s);
    else if (toolbar == Pair::Hidden)
        store.setValue(Setting::kToolbar, u"0"_s);
    if (m_buttons == Pair::Shown) {
        store.setValue(Setting::kButtons, u"1"_s);
        store.setValue(Setting::kButtonsCorner, QString::number(m_corner));
    } else if (m_buttons == Pair::Hidden) {
        store.setValue(Setting::kButtons, u"0"_s);
        store.setValue(Setting::kButtonsCorner, u"0"_s);
    }
    return true;
}

int SettingsForm::toolbarRequest() const
{
    return toolbar == Pair::Shown ? 1 : toolbar == Pair::Hidden ? 0 : -1;
}

int SettingsForm::buttonsRequest() const
{
    return m_buttons == Pair::Shown ? 1 : m_buttons == Pair::Hidden ? 0 : -1;
}
