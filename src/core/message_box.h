#pragma once

#include <QString>

class QObject;

// The program's one kind of message: a modal, plain-text box with an OK button,
// titled "Larkvane". It returns when the user has pressed OK. It runs a nested
// event loop, so ticks fire meanwhile: callers re-check state afterwards.
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // `owner` is the window the box belongs to (a QWidget), or null.
    virtual void show(const QString &text, QObject *owner = nullptr) = 0;
};
