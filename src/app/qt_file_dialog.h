#pragma once

#include "file_dialog.h"

// QFileDialog's open-file dialog. The working folder is where larkvane.ini and
// the bookmark file live, so browsing elsewhere must not move it.
class QtFileDialog final : public FileDialog
{
public:
    QString openFile(QObject *owner, const QString &caption, const QString &filter) override;
};
