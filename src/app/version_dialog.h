#pragma once

#include <QDialog>

// frmVersion: the logo, the version and the owner's notice.
class VersionDialog : public QDialog
{
    Q_OBJECT
public:
    explicit VersionDialog(QWidget *owner = nullptr);
};
