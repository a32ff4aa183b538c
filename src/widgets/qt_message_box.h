#pragma once

#include "message_box.h"

// The program's message box: QMessageBox, titled "Larkvane", plain text, OK
// only. Modal to the owner's window when there is one, else to the whole
// program.
class QtMessageBox final : public MessageBox
{
public:
    void show(const QString &text, QObject *owner = nullptr) override;

    // The same box, returning at once: for a message another process asks
    // for, which must not hold up what that process sends next.
    static void showWithoutWaiting(const QString &text, QObject *owner = nullptr);
};
