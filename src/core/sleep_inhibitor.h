#pragma once

#include <QString>

// Keeps the machine from going to sleep for being idle, while an auction's
// alert or end is close.
class SleepInhibitor
{
public:
    virtual ~SleepInhibitor() = default;
    // Holding twice is holding once.
    virtual void hold(const QString &why) = 0;
    virtual void release() = 0;
};
