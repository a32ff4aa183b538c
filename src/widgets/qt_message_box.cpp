#include "qt_message_box.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

QMessageBox *makeBox(const QString &text, QObject *owner)
{
    QWidget *ownerWidget = qobject_cast<QWidget *>(owner);
    QWidget *parent = ownerWidget ? ownerWidget->window() : nullptr;
    auto *box = new QMessageBox(parent);
    box->setWindowTitle(u"Larkvane"_s);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setIcon(QMessageBox::NoIcon);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

} // namespace

void QtMessageBox::show(const QString &text, QObject *owner)
{
    // On the heap: the owner may close while the box waits (a slot's end
    // closes the version dialog), and a parent deletes its children.
    QPointer<QMessageBox> box = makeBox(text, owner);
    box->exec();
    delete box.data();
}

void QtMessageBox::showWithoutWaiting(const QString &text, QObject *owner)
{
    QMessageBox *box = makeBox(text, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}
