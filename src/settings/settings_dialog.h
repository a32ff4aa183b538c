#pragma once

#include "settings_form.h"

#include "modal_window.h"

#include <QStringList>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class NotifySettingsBox;
class QPushButton;
class QRadioButton;
class WindowRegistry;
struct Services;

// frmConf: the lead time, the reminders before it, the alert sound, start-in-tray and the browser's
// bars. Edits reach the store only through "閉 じ る"; every other close,
// including the ones the program makes itself, drops them.
class SettingsDialog : public ModalWindow
{
    Q_OBJECT
public:
    SettingsDialog(Services &services, QWidget *owner);

private:
    void load();
    SettingsForm form() const;
    // The ticked reminders as the setting keeps them: minutes, by commas.
    QString reminders() const;
    void chooseSoundFile();
    void listen();
    void apply();

    Services &m_services;
    // The file dialog answers a cancel with the last path it gave in this
    // opening, so a cancel before any choice empties the field.
    QString m_lastChosenPath;

    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QLineEdit *m_text3 = nullptr;
    QCheckBox *m_check1 = nullptr;
    std::array<QRadioButton *, 4> m_options {};
    QComboBox *m_combo2 = nullptr;
    NotifySettingsBox *m_notify = nullptr;
    // The reminders offered, in minutes before the end, as the boxes show them.
    static constexpr std::array<int, 4> kReminderMinutes { 1440, 180, 60, 10 };
    std::array<QCheckBox *, 4> m_reminders {};
    QStringList m_otherReminders;
};

void registerSettingsWindows(WindowRegistry &registry, Services &services);
