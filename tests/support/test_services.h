#pragma once

#include "auction_timers.h"
#include "doubles.h"
#include "fake_page_fetcher.h"
#include "persistence.h"
#include "service_clock.h"
#include "services.h"
#include "state_store.h"
#include "status_line.h"
#include "temp_work_dir.h"
#include "window_registry.h"

// A whole set of services over doubles, in a fresh working folder. The
// timers count on `steadyMs`, which the test moves; their pages are read
// through `fetcher`, which answers when the test says so.
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
    FakePageFetcher fetcher;
    qint64 steadyMs = 0;
    AuctionTimers timers { store, persistence, serviceClock, sound, windows, statusLine, fetcher,
        [this] { return steadyMs; } };
    Services services { store, persistence, serviceClock, messages, sound, windows, statusLine, browser,
        files, timers };

    // Slot n counting `left` seconds to an item of `title` at `url`, its
    // first tick a second from now.
    void arm(int n, qint64 left, const QString &title = QStringLiteral("T"),
        const QString &url = QStringLiteral("file:///item.html"))
    {
        timers.assign(n, { title, url, QStringLiteral("26/12/01 10:00") }, clock.now().addSecs(left));
    }
    // Lets `seconds` pass on every clock and runs what fell due.
    void pass(int seconds = 1)
    {
        for (int i = 0; i < seconds; ++i) {
            steadyMs += 1000;
            clock.advance(1);
            timers.runDue();
        }
    }
};
