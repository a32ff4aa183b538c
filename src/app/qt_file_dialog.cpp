#include "qt_file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QWidget>

QString QtFileDialog::openFile(QObject *owner, const QString &caption, const QString &filter)
{
    QWidget *ownerWidget = qobject_cast<QWidget *>(owner);
    const QString workingFolder = QDir::currentPath();
    const QString chosen = QFileDialog::getOpenFileName(
        ownerWidget ? ownerWidget->window() : nullptr, caption, workingFolder, filter);
    if (QDir::currentPath() != workingFolder)
        QDir::setCurrent(workingFolder);
    return chosen;
}
