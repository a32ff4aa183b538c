#pragma once

#include "doubles.h"
#include "persistence.h"
#include "service_clock.h"
#include "services.h"
#include "state_store.h"
#include "status_line.h"
#include "temp_work_dir.h"
#include "window_registry.h"

// A whole set of services over doubles, in a fresh working folder.
struct TestServices
{
    TempWorkDir dir;
    StateStore store;
    Persistence persistence { store, dir.path() };
    FixedClock clock { japanDateTime(QDate(2026, 12, 8), QTime(12, 0, 0)) };
    ServiceClock serviceClock { clock };
    MessageRecorder messages;
    SoundRecorder sound;
    WindowRegistry windows;
    StatusLine statusLine;
    FakeBrowserHost browser;
    ScriptedFileDialog files;
    Services services { store, persistence, serviceClock, messages, sound, windows, statusLine, browser,
        files };
};
