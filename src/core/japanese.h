#pragma once

#include <QString>

// The program speaks Japanese only, whatever the system's locale.
namespace Japanese {

// Qt's own texts in Japanese (the text fields' menus, the file dialog, the
// buttons of its boxes) from Qt's translations (Debian qt6-translations-l10n),
// and Japanese dates and numbers wherever Qt formats them; the browser's
// engine takes its language from there too. Call once the application
// exists. False when the translations are not installed.
bool speakJapanese();

// "タイマー３", as the timer menu names a slot: full-width digits for one to
// nine, "10" as it is.
QString timerName(int n);

} // namespace Japanese
