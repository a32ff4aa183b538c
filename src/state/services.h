#pragma once

class AuctionTimers;
class BrowserHost;
class ServiceClock;
class FileDialog;
class MessageBox;
class Persistence;
class RemoteNotifier;
class SoundPlayer;
class StateStore;
class StatusLine;
class WindowRegistry;

// What a window or a command needs of the program, handed in by the
// program's wiring (real implementations) or by a test (doubles). No globals.
struct Services
{
    StateStore &store;
    Persistence &persistence;
    // Japan time on the auction service's clock, where a page has told it.
    ServiceClock &clock;
    MessageBox &messages;
    SoundPlayer &sound;
    WindowRegistry &windows;
    StatusLine &statusLine;
    BrowserHost &browser;
    FileDialog &files;
    // The ten slots.
    AuctionTimers &timers;
    // The alert pushed to the phone and mailed; null where a test has none.
    RemoteNotifier *remote = nullptr;
};
