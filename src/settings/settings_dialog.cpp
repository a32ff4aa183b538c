#include "settings_dialog.h"

#include "browser_host.h"
#include "file_dialog.h"
#include "message_box.h"
#include "notify_settings_box.h"
#include "persistence.h"
#include "services.h"
#include "settings_fields.h"
#include "sound_player.h"
#include "state_store.h"
#include "window_registry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton *namedButton(const QString &name, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

SettingsDialog::SettingsDialog(Services &services, QWidget *owner)
    : ModalWindow(u"frmConf"_s, u"Larkvane 環境設定"_s, owner)
    , m_services(services)
{

    auto *layout = new QVBoxLayout(this);

    // Lead time: "終了の [n] [unit] 前になったらお知らせ。"
    auto *label1 = plainLabel(u"初回の終了前お知らせ時間設定："_s, this);
    label1->setObjectName(u"Label1"_s);
    layout->addWidget(label1);

    auto *leadRow = new QHBoxLayout;
    leadRow->addWidget(plainLabel(u"終了の"_s, this));
    m_text2 = new QLineEdit(u"0"_s, this);
    m_text2->setObjectName(u"Text2"_s);
    m_text2->setAccessibleName(u"終了前のお知らせ時間"_s);
    m_text2->setAlignment(Qt::AlignRight);
    m_text2->setMaximumWidth(fontMetrics().horizontalAdvance(u"0000000000"_s));
    leadRow->addWidget(m_text2);
    m_combo1 = new QComboBox(this);
    m_combo1->setObjectName(u"Combo1"_s);
    m_combo1->setAccessibleName(u"お知らせ時間の単位"_s);
    m_combo1->addItems({ u"秒"_s, u"分"_s });
    leadRow->addWidget(m_combo1);
    leadRow->addWidget(plainLabel(u"前になったらお知らせ。"_s, this));
    leadRow->addStretch();
    layout->addLayout(leadRow);

    auto *presetRow = new QHBoxLayout;
    const QStringList presetTexts { u"30秒"_s, u"１ 分"_s, u"３ 分"_s, u"５ 分"_s, u"10 分"_s, u"30 分"_s };
    for (int i = 0; i < SettingsForm::kPresets; ++i) {
        auto *preset = namedButton(u"tm0"_s + QString::number(i + 1), presetTexts[i], this);
        connect(preset, &QPushButton::clicked, this, [this, i] {
            SettingsForm chosen;
            chosen.applyPreset(i);
            m_text2->setText(chosen.leadNumber);
            m_combo1->setCurrentIndex(static_cast<int>(chosen.leadUnit));
        });
        presetRow->addWidget(preset);
    }
    layout->addLayout(presetRow);

    // Words before the lead: a notification only, the lead stays the loud one.
    auto *remindRow = new QHBoxLayout;
    remindRow->addWidget(plainLabel(u"事前のお知らせ："_s, this));
    const QStringList remindTexts { u"1日前"_s, u"3時間前"_s, u"1時間前"_s, u"10分前"_s };
    for (int i = 0; i < int(kReminderMinutes.size()); ++i) {
        m_reminders[i] = new QCheckBox(remindTexts[i], this);
        m_reminders[i]->setObjectName(u"remind"_s + QString::number(kReminderMinutes[i]));
        remindRow->addWidget(m_reminders[i]);
    }
    remindRow->addStretch();
    layout->addLayout(remindRow);

    // Holds the lead converted to seconds while the dialog closes.
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(u"Text1"_s);
    m_text1->hide();

    layout->addSpacing(6);
    layout->addWidget(plainLabel(u"起動設定："_s, this));
    m_check1 = new QCheckBox(u"ソフトの起動と同時にトレイに収納する。"_s, this);
    m_check1->setObjectName(u"Check1"_s);
    layout->addWidget(m_check1);

    auto *barsRow = new QHBoxLayout;
    auto *toolbarBox = new QGroupBox(u"ツールバー："_s, this);
    auto *toolbarLayout = new QHBoxLayout(toolbarBox);
    auto *buttonsBox = new QGroupBox(u"フロートボタン："_s, this);
    auto *buttonsLayout = new QHBoxLayout(buttonsBox);
    const QStringList optionTexts { u"表示"_s, u"非表示"_s, u"表示"_s, u"非表示"_s };
    for (int i = 0; i < 4; ++i) {
        QGroupBox *box = i < 2 ? toolbarBox : buttonsBox;
        m_options[i] = new QRadioButton(optionTexts[i], box);
        m_options[i]->setObjectName(u"Option"_s + QString::number(i + 1));
        (i < 2 ? toolbarLayout : buttonsLayout)->addWidget(m_options[i]);
    }
    toolbarLayout->addStretch();
    buttonsLayout->addSpacing(12);
    buttonsLayout->addWidget(plainLabel(u"位置："_s, buttonsBox));
    m_combo2 = new QComboBox(buttonsBox);
    m_combo2->setObjectName(u"Combo2"_s);
    m_combo2->setAccessibleName(u"フロートボタンの位置"_s);
    m_combo2->addItems({ u"左上"_s, u"右上"_s, u"左下"_s, u"右下"_s });
    m_combo2->setCurrentIndex(-1);
    m_combo2->setEnabled(false);
    buttonsLayout->addWidget(m_combo2);
    buttonsLayout->addStretch();
    barsRow->addWidget(toolbarBox, 2);
    barsRow->addWidget(buttonsBox, 3);
    layout->addLayout(barsRow);

    connect(m_options[2], &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_combo2->setEnabled(true);
    });
    connect(m_options[3], &QRadioButton::toggled, this, [this](bool on) {
        if (!on)
            return;
        m_combo2->setCurrentIndex(-1);
        m_combo2->setEnabled(false);
    });

    layout->addSpacing(6);
    layout->addWidget(plainLabel(u"タイマー終了お知らせ音ファイルの場所："_s, this));
    auto *soundRow = new QHBoxLayout;
    m_text3 = new QLineEdit(this);
    m_text3->setObjectName(u"Text3"_s);
    m_text3->setAccessibleName(u"タイマー終了お知らせ音ファイルの場所"_s);
    m_text3->setMinimumWidth(fontMetrics().horizontalAdvance(u'0') * 40);
    soundRow->addWidget(m_text3, 1);
    auto *choose = namedButton(u"Command2"_s, u"選択"_s, this);
    connect(choose, &QPushButton::clicked, this, &SettingsDialog::chooseSoundFile);
    soundRow->addWidget(choose);
    auto *play = namedButton(u"SoundPlay"_s, u"試聴"_s, this);
    connect(play, &QPushButton::clicked, this, &SettingsDialog::listen);
    soundRow->addWidget(play);
    layout->addLayout(soundRow);
    layout->addWidget(plainLabel(u"※ 短いサウンドファイルを指定できます。"_s, this));
    layout->addWidget(plainLabel(u"※ 音楽でも音声でもかまいません。"_s, this));

    layout->addSpacing(6);
    m_notify = new NotifySettingsBox(m_services.remote, m_services.messages, this);
    layout->addWidget(m_notify);

    auto *closeRow = new QHBoxLayout;
    closeRow->addStretch();
    auto *closeButton = namedButton(u"Command1"_s, u"閉 じ る"_s, this);
    closeButton->setMinimumWidth(closeButton->sizeHint().width() * 3 / 2);
    // Return in a field applies, as a dialog's OK.
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &SettingsDialog::apply);
    closeRow->addWidget(closeButton);
    layout->addSpacing(6);
    layout->addLayout(closeRow);
    // Of its own size, which tiling desktops float rather than stretch.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    load();
}

void SettingsDialog::load()
{
    const SettingsForm loaded = SettingsForm::fromStore(m_services.store);
    m_text1->setText(m_services.store.value(Setting::kLeadSeconds));
    m_combo1->setCurrentIndex(0);
    m_text3->setText(loaded.soundPath);
    m_text2->setText(m_text1->text());
    m_check1->setChecked(loaded.startInTray);
    if (loaded.toolbar == SettingsForm::Pair::Shown)
        m_options[0]->setChecked(true);
    else if (loaded.toolbar == SettingsForm::Pair::Hidden)
        m_options[1]->setChecked(true);
    if (loaded.buttons() == SettingsForm::Pair::Shown) {
        m_options[2]->setChecked(true);
        m_combo2->setCurrentIndex(loaded.corner());
    } else if (loaded.buttons() == SettingsForm::Pair::Hidden) {
        m_options[3]->setChecked(true);
    }
    m_notify->load(NotifySettings::fromStore(m_services.store));

    m_otherReminders.clear();
    const QStringList reminders = m_services.store.value(Setting::kReminders).split(u',', Qt::SkipEmptyParts);
    for (const QString &part : reminders) {
        const int i = int(std::find(kReminderMinutes.begin(), kReminderMinutes.end(), part.trimmed().toInt())
            - kReminderMinutes.begin());
        if (i < int(kReminderMinutes.size()))
            m_reminders[i]->setChecked(true);
        else
            m_otherReminders << part.trimmed(); // typed into the file: kept as it is
    }
}

QString SettingsDialog::reminders() const
{
    QStringList ticked;
    for (int i = 0; i < int(kReminderMinutes.size()); ++i) {
        if (m_reminders[i]->isChecked())
            ticked << QString::number(kReminderMinutes[i]);
    }
    return (ticked + m_otherReminders).join(u',');
}

SettingsForm SettingsDialog::form() const
{
    SettingsForm f;
    f.leadNumber = m_text2->text();
    f.leadUnit = m_combo1->currentIndex() == 1 ? SettingsForm::Unit::Minutes : SettingsForm::Unit::Seconds;
    f.soundPath = m_text3->text();
    f.startInTray = m_check1->isChecked();
    f.toolbar = m_options[0]->isChecked() ? SettingsForm::Pair::Shown
        : m_options[1]->isChecked()       ? SettingsForm::Pair::Hidden
                                          : SettingsForm::Pair::Neither;
    f.setButtons(m_options[2]->isChecked() ? SettingsForm::Pair::Shown
            : m_options[3]->isChecked()    ? SettingsForm::Pair::Hidden
                                           : SettingsForm::Pair::Neither);
    f.setCorner(m_combo2->currentIndex());
    return f;
}

void SettingsDialog::chooseSoundFile()
{
    const QString chosen
        = m_services.files.openFile(this, u"ファイルを開く"_s, u"お知らせサウンドファイル (*.wav)"_s);
    if (!chosen.isEmpty())
        m_lastChosenPath = chosen;
    m_text3->setText(m_lastChosenPath);
}

void SettingsDialog::listen()
{
    const QString path = m_text3->text();
    if (path.isEmpty()) {
        // The box runs its own event loop; this window may be gone afterwards.
        m_services.messages.show(u"曲ファイルを選択してください。"_s, this);
        return;
    }
    m_services.sound.play(path);
}

void SettingsDialog::apply()
{
    const SettingsForm f = form();
    switch (f.problem()) {
    case SettingsForm::Problem::NoCorner:
        m_services.messages.show(u"ﾌﾛｰﾄﾎﾞﾀﾝを使う場合は表示位置を指定して下さい。"_s, this);
        return;
    case SettingsForm::Problem::NotANumber:
        m_services.messages.show(u"お知らせ時間は数字で入力してください。"_s, this);
        return;
    case SettingsForm::Problem::None:
        break;
    }
    const NotifySettings notify = m_notify->settings();
    if (const QString problem = notify.problem(); !problem.isEmpty()) {
        m_services.messages.show(problem, this);
        return;
    }
    m_text1->setText(*f.leadSeconds());
    f.store(m_services.store);
    m_services.store.setValue(Setting::kReminders, reminders());
    notify.store(m_services.store);
    m_notify->storeSecrets();
    m_services.persistence.save();
    m_services.browser.applyBars(f.toolbarRequest(), f.buttonsRequest());
    close();
}

void registerSettingsWindows(WindowRegistry &registry, Services &services)
{
    registerModalWindow(registry, services.browser, u"frmConf"_s,
        [&services](QWidget *owner) { return new SettingsDialog(services, owner); });
}
