#pragma once

#include <QString>

class QObject;

// The file-open dialog. Returns the chosen full path, or an empty text when
// the user cancelled.
class FileDialog
{
public:
    virtual ~FileDialog() = default;
    virtual QString openFile(QObject *owner, const QString &caption, const QString &filter) = 0;
};
