#include "qt_message_box.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

using namespace Qt::StringLiterals;

void QtMessageBox::show(const QString &text, QObject *owner)
{
    QWidget *ownerWidget = qobject_cast<QWidget *>(owner);
    QWidget *parent = ownerWidget ? ownerWidget->window() : nullptr;

    // On the heap: the owner may close while the box waits (a slot's end
    // closes the version dialog), and a parent deletes its children.
    QPointer<QMessageBox> box = new QMessageBox(parent);
    box->setWindowTitle(u"Larkvane"_s);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setIcon(QMessageBox::NoIcon);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->exec();
    delete box.data();
}
