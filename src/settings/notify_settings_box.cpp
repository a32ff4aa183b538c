#include "notify_settings_box.h"

#include "message_box.h"
#include "remote_notifier.h"
#include "secret_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// The security list's order.
const MailSecurity kSecurities[] = { MailSecurity::StartTls, MailSecurity::Tls, MailSecurity::None };

QLineEdit *field(const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

QLabel *caption(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(buddy);
    return label;
}

} // namespace

NotifySettingsBox::NotifySettingsBox(RemoteNotifier *remote, MessageBox &messages, QWidget *parent)
    : QGroupBox(u"スマートフォン・メールへの通知："_s, parent)
    , m_remote(remote)
    , m_messages(messages)
{
    setObjectName(u"notifyBox"_s);
    auto *grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnMinimumWidth(2, fontMetrics().horizontalAdvance(u"SMTP サーバー："_s) + 12);

    // ntfy on the left.
    m_ntfy = new QCheckBox(u"ntfy でスマートフォンに送る"_s, this);
    m_ntfy->setObjectName(u"ntfyCheck"_s);
    grid->addWidget(m_ntfy, 0, 0, 1, 2);
    m_ntfyServer = field(u"ntfyServer"_s, this);
    grid->addWidget(caption(u"サーバー："_s, m_ntfyServer, this), 1, 0);
    grid->addWidget(m_ntfyServer, 1, 1);
    m_ntfyTopic = field(u"ntfyTopic"_s, this);
    m_ntfyTopic->setPlaceholderText(u"英数字と - _"_s);
    grid->addWidget(caption(u"トピック："_s, m_ntfyTopic, this), 2, 0);
    grid->addWidget(m_ntfyTopic, 2, 1);
    m_ntfyToken = field(u"ntfyToken"_s, this);
    m_ntfyToken->setEchoMode(QLineEdit::Password);
    m_ntfyToken->setPlaceholderText(u"なければ空欄"_s);
    grid->addWidget(caption(u"トークン："_s, m_ntfyToken, this), 3, 0);
    grid->addWidget(m_ntfyToken, 3, 1);
    // Room for a self-hosted server's address.
    m_ntfyServer->setMinimumWidth(fontMetrics().horizontalAdvance(u"https://ntfy.example.jp:8080"_s));

    // Mail on the right.
    m_mail = new QCheckBox(u"メールで送る"_s, this);
    m_mail->setObjectName(u"mailCheck"_s);
    grid->addWidget(m_mail, 0, 2, 1, 2);
    m_mailHost = field(u"mailHost"_s, this);
    m_mailPort = field(u"mailPort"_s, this);
    m_mailPort->setValidator(new QIntValidator(0, 99999, m_mailPort));
    m_mailPort->setMaximumWidth(fontMetrics().horizontalAdvance(u"000000"_s) + 12);
    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(m_mailHost, 1);
    hostRow->addWidget(caption(u"ポート："_s, m_mailPort, this));
    hostRow->addWidget(m_mailPort);
    grid->addWidget(caption(u"SMTP サーバー："_s, m_mailHost, this), 1, 2);
    grid->addLayout(hostRow, 1, 3);
    m_mailSecurity = new QComboBox(this);
    m_mailSecurity->setObjectName(u"mailSecurity"_s);
    m_mailSecurity->addItems(
        { u"STARTTLS（587 番）"_s, u"SSL/TLS（465 番）"_s, u"暗号化なし（このパソコンのサーバー）"_s });
    grid->addWidget(caption(u"暗号化："_s, m_mailSecurity, this), 2, 2);
    grid->addWidget(m_mailSecurity, 2, 3);
    m_mailUser = field(u"mailUser"_s, this);
    m_mailUser->setPlaceholderText(u"ログインしないなら空欄"_s);
    grid->addWidget(caption(u"ユーザー名："_s, m_mailUser, this), 3, 2);
    grid->addWidget(m_mailUser, 3, 3);
    m_mailPassword = field(u"mailPassword"_s, this);
    m_mailPassword->setEchoMode(QLineEdit::Password);
    grid->addWidget(caption(u"パスワード："_s, m_mailPassword, this), 4, 2);
    grid->addWidget(m_mailPassword, 4, 3);
    m_mailFrom = field(u"mailFrom"_s, this);
    grid->addWidget(caption(u"差出人："_s, m_mailFrom, this), 5, 2);
    grid->addWidget(m_mailFrom, 5, 3);
    m_mailTo = field(u"mailTo"_s, this);
    m_mailTo->setPlaceholderText(u"複数はカンマで区切る"_s);
    grid->addWidget(caption(u"宛先："_s, m_mailTo, this), 6, 2);
    grid->addWidget(m_mailTo, 6, 3);

    // The test under ntfy, where the left column has room.
    m_test = new QPushButton(u"テスト送信"_s, this);
    m_test->setObjectName(u"notifyTest"_s);
    m_test->setAutoDefault(false);
    m_test->setEnabled(m_remote != nullptr);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(m_test);
    testRow->addStretch();
    grid->addLayout(testRow, 4, 0, 1, 2);
    m_testResult = new QLabel(this);
    m_testResult->setObjectName(u"notifyTestResult"_s);
    m_testResult->setTextFormat(Qt::PlainText);
    m_testResult->setWordWrap(true);
    m_testResult->hide();
    // The full width: a server's answer may be long.
    grid->addWidget(m_testResult, 7, 0, 1, 4);
    m_keyring
        = new QLabel(u"パスワードを保存できるキーリングがありません。今回の起動中だけ使います。"_s, this);
    m_keyring->setObjectName(u"notifyKeyring"_s);
    m_keyring->setTextFormat(Qt::PlainText);
    m_keyring->setWordWrap(true);
    m_keyring->hide();
    grid->addWidget(m_keyring, 8, 0, 1, 4);

    connect(m_test, &QPushButton::clicked, this, &NotifySettingsBox::sendTest);
    // A port left at the old security's own follows the new one.
    connect(m_mailSecurity, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QString port = m_mailPort->text().trimmed();
        for (const MailSecurity s : kSecurities) {
            if (port.isEmpty() || port == QString::number(NotifySettings::defaultPort(s))) {
                m_mailPort->setText(
                    QString::number(NotifySettings::defaultPort(kSecurities[qBound(0, index, 2)])));
                break;
            }
        }
    });
    const auto enable = [this] {
        for (QWidget *w : { m_ntfyServer, m_ntfyTopic, m_ntfyToken })
            w->setEnabled(m_ntfy->isChecked());
        for (QWidget *w : std::initializer_list<QWidget *> {
                 m_mailHost, m_mailPort, m_mailSecurity, m_mailUser, m_mailPassword, m_mailFrom, m_mailTo })
            w->setEnabled(m_mail->isChecked());
        m_ntfyToken->setEnabled(m_ntfy->isChecked() && m_remote);
        m_mailPassword->setEnabled(m_mail->isChecked() && m_remote);
    };
    connect(m_ntfy, &QCheckBox::toggled, this, enable);
    connect(m_mail, &QCheckBox::toggled, this, enable);
    enable();
    if (m_remote) {
        connect(&m_remote->secrets(), &SecretStore::keyringKnown, this, &NotifySettingsBox::showKeyring);
        showKeyring();
    }
}

void NotifySettingsBox::load(const NotifySettings &s)
{
    m_ntfy->setChecked(s.ntfy);
    m_ntfyServer->setText(s.ntfyServer);
    m_ntfyTopic->setText(s.ntfyTopic);
    m_mail->setChecked(s.mail);
    m_mailHost->setText(s.mailHost);
    m_mailSecurity->setCurrentIndex(int(
        std::find(std::begin(kSecurities), std::end(kSecurities), s.mailSecurity) - std::begin(kSecurities)));
    m_mailPort->setText(QString::number(s.port() ? s.port() : NotifySettings::defaultPort(s.mailSecurity)));
    m_mailUser->setText(s.mailUser);
    m_mailFrom->setText(s.mailFrom);
    m_mailTo->setText(s.mailTo);
    if (!m_remote)
        return;
    // The keyring answers later; what the user has typed meanwhile stays.
    const auto fill = [](QLineEdit *edit, QString *shown) {
        return [edit, shown](const QString &secret) {
            if (edit->text() != *shown)
                return;
            edit->setText(secret);
            *shown = secret;
        };
    };
    m_remote->secrets().get(SecretStore::Secret::NtfyToken, m_ntfyToken, fill(m_ntfyToken, &m_shownToken));
    m_remote->secrets().get(
        SecretStore::Secret::MailPassword, m_mailPassword, fill(m_mailPassword, &m_shownPassword));
}

NotifySettings NotifySettingsBox::settings() const
{
    NotifySettings s;
    s.ntfy = m_ntfy->isChecked();
    s.ntfyServer = m_ntfyServer->text();
    s.ntfyTopic = m_ntfyTopic->text();
    s.mail = m_mail->isChecked();
    s.mailHost = m_mailHost->text();
    s.mailPort = m_mailPort->text();
    s.mailSecurity = kSecurities[qBound(0, m_mailSecurity->currentIndex(), 2)];
    s.mailUser = m_mailUser->text();
    s.mailFrom = m_mailFrom->text();
    s.mailTo = m_mailTo->text();
    return s;
}

void NotifySettingsBox::storeSecrets()
{
    if (!m_remote)
        return;
    // This box goes with the dialog: the keyring's answer is the log's.
    if (m_ntfyToken->text() != m_shownToken)
        m_remote->secrets().put(SecretStore::Secret::NtfyToken, m_ntfyToken->text(), nullptr, {});
    if (m_mailPassword->text() != m_shownPassword)
        m_remote->secrets().put(SecretStore::Secret::MailPassword, m_mailPassword->text(), nullptr, {});
}

void NotifySettingsBox::sendTest()
{
    const NotifySettings s = settings();
    if (!s.ntfy && !s.mail) {
        m_messages.show(u"送り先（ntfy かメール）にチェックを入れてください。"_s, this);
        return;
    }
    if (const QString problem = s.problem(); !problem.isEmpty()) {
        m_messages.show(problem, this);
        return;
    }
    m_test->setEnabled(false);
    m_testResult->setText(u"送っています…"_s);
    m_testResult->show();
    auto waiting = std::make_shared<int>(int(s.ntfy) + int(s.mail));
    // ntfy's line first, whichever answers first.
    auto lines = std::make_shared<QMap<RemoteNotifier::Channel, QString>>();
    m_remote->test(s, m_ntfyToken->text(), m_mailPassword->text(), this,
        [this, waiting, lines](RemoteNotifier::Channel channel, const SendOutcome &outcome) {
            lines->insert(channel, RemoteNotifier::channelName(channel) + u": "_s + outcome.answer);
            m_testResult->setText(QStringList(lines->values()).join(u'\n'));
            if (--*waiting == 0)
                m_test->setEnabled(true);
        });
}

void NotifySettingsBox::showKeyring()
{
    m_keyring->setVisible(m_remote->secrets().keyring() == SecretStore::Keyring::Absent);
}
