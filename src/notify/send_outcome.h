#pragma once

#include <QString>

// How one try went: at the server, or why not, said for the user (with the
// server's own answer where it gave one).
struct SendOutcome
{
    bool delivered = false;
    QString answer;
};
