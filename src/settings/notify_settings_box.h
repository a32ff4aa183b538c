#pragma once

#include "notify_settings.h"

#include <QGroupBox>

class MessageBox;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class RemoteNotifier;

// The settings dialog's "スマートフォン・メールへの通知": the ntfy and mail
// channels, their token and password (kept in the keyring, never in the
// file), and テスト送信, which tries each channel switched on with what the
// fields hold now. Without a notifier (a test of the rest of the dialog) the
// secrets and the test are off.
class NotifySettingsBox : public QGroupBox
{
    Q_OBJECT
public:
    NotifySettingsBox(RemoteNotifier *remote, MessageBox &messages, QWidget *parent);

    void load(const NotifySettings &settings);
    NotifySettings settings() const;
    // The token and the password, when edited, to the keyring (or to memory
    // for this run where there is none).
    void storeSecrets();

private:
    void sendTest();
    void showKeyring();

    RemoteNotifier *m_remote;
    MessageBox &m_messages;
    QCheckBox *m_ntfy = nullptr;
    QLineEdit *m_ntfyServer = nullptr;
    QLineEdit *m_ntfyTopic = nullptr;
    QLineEdit *m_ntfyToken = nullptr;
    QCheckBox *m_mail = nullptr;
    QLineEdit *m_mailHost = nullptr;
    QLineEdit *m_mailPort = nullptr;
    QComboBox *m_mailSecurity = nullptr;
    QLineEdit *m_mailUser = nullptr;
    QLineEdit *m_mailPassword = nullptr;
    QLineEdit *m_mailFrom = nullptr;
    QLineEdit *m_mailTo = nullptr;
    QPushButton *m_test = nullptr;
    QLabel *m_testResult = nullptr;
    QLabel *m_keyring = nullptr;
    // The secrets as the keyring gave them: a field that differs was edited.
    QString m_shownToken;
    QString m_shownPassword;
};
