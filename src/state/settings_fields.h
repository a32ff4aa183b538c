#pragma once

#include <QString>
#include <QStringList>

// The names of the settings in the store, once. Their values stay text, as
// larkvane.ini holds them.
namespace Setting {

inline const QString kLeadSeconds = QStringLiteral("infotime");
inline const QString kBrowserX = QStringLiteral("x_pos");
inline const QString kBrowserY = QStringLiteral("y_pos");
inline const QString kBrowserWidth = QStringLiteral("w_width");
inline const QString kBrowserHeight = QStringLiteral("w_height");
// "1": start in the tray.
inline const QString kStartInTray = QStringLiteral("chk1");
// "1": the toolbar shown.
inline const QString kToolbar = QStringLiteral("tbar1");
// "1": the floating back and forward buttons shown.
inline const QString kButtons = QStringLiteral("tbar2");
// The buttons' corner, 0 to 3.
inline const QString kButtonsCorner = QStringLiteral("tbar2mode");
inline const QString kAlertTop = QStringLiteral("frmMes_pos_top");
inline const QString kAlertLeft = QStringLiteral("frmMes_pos_left");
inline const QString kSoundFile = QStringLiteral("wavfile");
// The reminders before the lead: minutes before the end, joined by commas
// ("1440,60"); empty for none.
inline const QString kReminders = QStringLiteral("remind");
// The folder the program started in, where html/serch.html is.
inline const QString kBootDir = QStringLiteral("boot_dir");

// [Notify], the alert pushed to the phone and mailed: each field is named as
// its key in the file. The token and the password are never among them.
inline const QString kNtfy = QStringLiteral("ntfy"); // "1": push through ntfy
inline const QString kNtfyServer = QStringLiteral("ntfyServer");
inline const QString kNtfyTopic = QStringLiteral("ntfyTopic");
inline const QString kMail = QStringLiteral("mail"); // "1": mail each alert
inline const QString kMailHost = QStringLiteral("mailHost");
inline const QString kMailPort = QStringLiteral("mailPort");
inline const QString kMailSecurity = QStringLiteral("mailSecurity"); // starttls, tls or none
inline const QString kMailUser = QStringLiteral("mailUser");
inline const QString kMailFrom = QStringLiteral("mailFrom");
inline const QString kMailTo = QStringLiteral("mailTo");
// In the file's order.
inline QStringList notifyFields()
{
    return { kNtfy, kNtfyServer, kNtfyTopic, kMail, kMailHost, kMailPort, kMailSecurity, kMailUser, kMailFrom,
        kMailTo };
}

} // namespace Setting
