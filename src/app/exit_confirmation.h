#pragma once

#include <QDialog>

class Lifecycle;

// frmEnding: asks whether to end the whole program, and reminds the user
// that closing only the browser window keeps the timers running in the tray.
class ExitConfirmation : public QDialog
{
    Q_OBJECT
public:
    explicit ExitConfirmation(Lifecycle &lifecycle, QWidget *owner = nullptr);

private:
    Lifecycle &m_lifecycle;
};
