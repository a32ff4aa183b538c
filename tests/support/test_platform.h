#pragma once

#include "doubles.h"
#include "program.h"

#include <QDateTime>

// The machine as a test drives it, for the program's own wiring: a wall
// clock and a steady clock that move when the test says, and doubles for
// the desktop. Only tests that link the program include this.
struct TestPlatform
{
    FixedClock clock { japanDateTime(QDate(2026, 12, 8), QTime(12, 0, 0)) };
    qint64 steadyMs = 0;
    MessageRecorder messages;
    SoundRecorder sound;
    ScriptedFileDialog files;
    FakeBrowserHost browser;
    NotificationRecorder notifier;
    InhibitorRecorder inhibitor;

    Platform platform(std::function<std::unique_ptr<PageFetcher>()> fetcher)
    {
        return { clock, [this] { return steadyMs; }, [this] { return steadyMs; }, messages, sound, files,
            browser, notifier, inhibitor, std::move(fetcher) };
    }
};
