#include "version_dialog.h"

#include "app_icon.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

VersionDialog::VersionDialog(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(u"frmVersion"_s);
    setWindowTitle(u"ﾊﾞｰｼﾞｮﾝ情報"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);

    auto *panel = new QFrame;
    panel->setObjectName(u"Frame1"_s);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);

    auto *logo = new QLabel;
    logo->setObjectName(u"Image1"_s);
    // The theme's colours, which the logo is drawn to read on.
    logo->setPixmap(larkvaneLogo(palette().color(QPalette::Window), devicePixelRatioF()));
    logo->setFixedSize(235, 28);
    logo->setAccessibleName(u"Larkvane"_s);

    auto *version = new QLabel(u"Version ３．９"_s);
    version->setObjectName(u"lblVersion"_s);
    version->setTextFormat(Qt::PlainText);

    auto *panelLayout = new QGridLayout(panel);
    panelLayout->setContentsMargins(10, 10, 10, 6);
    panelLayout->addWidget(logo, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    panelLayout->addWidget(version, 1, 0, Qt::AlignRight | Qt::AlignBottom);

    auto *notice = new QLabel(u"Copyright © Larkvane の作者　本ソフトウェアは無保証で提供されます。"_s);
    notice->setObjectName(u"lblNotice"_s);
    notice->setTextFormat(Qt::PlainText);

    auto *close = new QPushButton(u"閉じる(&C)"_s);
    close->setObjectName(u"cmdClose"_s);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->addWidget(panel);
    layout->addWidget(notice);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
