#include "exit_confirmation.h"

#include "lifecycle.h"
#include "readable_colour.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *addLabel(QVBoxLayout *layout, const QString &name, const QString &text)
{
    auto *label = new QLabel(text);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    return label;
}

} // namespace

ExitConfirmation::ExitConfirmation(Lifecycle &lifecycle, QWidget *owner)
    : QDialog(owner)
    , m_lifecycle(lifecycle)
{
    setObjectName(u"frmEnding"_s);
    setWindowTitle(u"Larkvane"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 12);
    layout->setSpacing(4);

    QLabel *question = addLabel(layout, u"Label1"_s, u"Larkvaneを終了してよろしいですか？"_s);
    ReadableColour::setText(question, QColor(0xff, 0x00, 0x00));
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    layout->addSpacing(6);

    addLabel(layout, u"Label2"_s, u"すべてを終了する場合は終了ボタンを押してください。"_s);
    addLabel(layout, u"Label3"_s, u"タスクバーに収納してタスク内でタイマーを継続する場合は"_s);
    addLabel(layout, u"Label4"_s, u"キャンセル後にウィンドウ右上の×ボタンを押してください。"_s);
    layout->addSpacing(10);

    auto *exitButton = new QPushButton(u"終　了"_s);
    exitButton->setObjectName(u"Command1"_s);
    auto *cancelButton = new QPushButton(u"キャンセル"_s);
    cancelButton->setObjectName(u"Command2"_s);
    for (QPushButton *button : { exitButton, cancelButton })
        button->setMinimumWidth(110);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(exitButton);
    buttons->addSpacing(16);
    buttons->addWidget(cancelButton);
    buttons->addStretch();
    layout->addLayout(buttons);
    // Of its own size, which tiling desktops float rather than stretch.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(exitButton, cancelButton);
    // A Return or a Space pressed out of habit must not end every timer:
    // the keyboard starts on キャンセル, and 終　了 is chosen on purpose.
    cancelButton->setDefault(true);
    cancelButton->setFocus();

    connect(cancelButton, &QPushButton::clicked, this, &QDialog::close);
    connect(exitButton, &QPushButton::clicked, this, [this] {
        // The exit closes this dialog first, and the rest in their order.
        m_lifecycle.exitConfirmed();
    });
}
