#pragma once

#include <QString>

// WAV playback as the alert needs it: returns at once, a missing or unplayable
// file plays nothing, and a sound still playing is neither cut off nor joined.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString &path) = 0;
};
