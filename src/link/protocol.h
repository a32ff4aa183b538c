#pragma once

#include "browser_host.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <optional>
#include <variant>

// Every message between larkvane and larkvane-browser, declared once. On the
// wire each is one JSON object with its kind under "op"; in the code each is a
// type of its own, so a message of a kind that does not exist cannot be
// written. The browser process reports what happened in its window and does
// what it is told; everything the program keeps stays in larkvane.
namespace wire {

enum class Kind {
    // larkvane → larkvane-browser
    Setup,
    Show,
    Navigate,
    CountdownLine,
    TimerMenu,
    PageItemsMenu,
    Bars,
    Hold,
    Notice,
    Close,
    // larkvane-browser → larkvane
    Shown,
    Location,
    DocumentArrived,
    DocumentComplete,
    CommandChosen,
    Geometry,
    UserAgent,
    PageLinks,
};

// The commands of the browser window's menus and toolbar that are the
// program's to carry out.
enum class Command {
    Settings,
    Exit,
    Bookmarks,
    AddBookmark,
    Timer,
    TimerList,
    Version,
    Search,
    TimersFromPage,
    TimerByAddress,
};

// tbar1, tbar2 and tbar2mode as stored.
struct BarSettings
{
    QString toolbar;
    QString buttons;
    QString corner;
    bool operator==(const BarSettings &) const = default;
};

// Window geometry in twips, as stored (x, y, width, height).
using Twips = std::array<QString, 4>;

// What a new window opens with.
struct Setup
{
    static constexpr Kind kind = Kind::Setup;
    Twips geometry;
    BarSettings bars;
    QString startPage;
};

struct Show
{
    static constexpr Kind kind = Kind::Show;
};

struct Navigate
{
    static constexpr Kind kind = Kind::Navigate;
    QString address;
};

// The countdown's text in the window's first status bar.
struct CountdownLine
{
    static constexpr Kind kind = Kind::CountdownLine;
    QString text;
};

struct TimerMenu
{
    static constexpr Kind kind = Kind::TimerMenu;
    bool enabled = false;
};

// "このページの商品から登録…": whether the page now shown links to auctions.
struct PageItemsMenu
{
    static constexpr Kind kind = Kind::PageItemsMenu;
    bool enabled = false;
};

// The settings dialog's changes: 1 show, 0 hide, -1 leave as it is.
struct Bars
{
    static constexpr Kind kind = Kind::Bars;
    int toolbar = -1;
    int buttons = -1;
    BarSettings settings;
};

// A dialog of the program holds the window, as a modal dialog holds its owner.
struct Hold
{
    static constexpr Kind kind = Kind::Hold;
    bool on = false;
};

// A message box over the window.
struct Notice
{
    static constexpr Kind kind = Kind::Notice;
    QString text;
};

struct Close
{
    static constexpr Kind kind = Kind::Close;
};

struct Shown
{
    static constexpr Kind kind = Kind::Shown;
};

// The page now shown; `caption` is the window's.
struct Location
{
    static constexpr Kind kind = Kind::Location;
    QString url;
    QString title;
    QString caption;
};

// A new top-level document has arrived, before its images, scripts and
// frames: the page can be read.
struct DocumentArrived
{
    static constexpr Kind kind = Kind::DocumentArrived;
    QString url;
};

struct DocumentComplete
{
    static constexpr Kind kind = Kind::DocumentComplete;
    bool topLevel = false;
    QString url;
};

struct CommandChosen
{
    static constexpr Kind kind = Kind::CommandChosen;
    Command command = Command::Settings;
    // The slot of Command::Timer, 1 to 10.
    int slot = 0;
    // The window's X11 id, for a dialog to stand over it; empty elsewhere.
    QString window;
};

// Sent as the window closes.
struct Geometry
{
    static constexpr Kind kind = Kind::Geometry;
    Twips twips;
};

struct UserAgent
{
    static constexpr Kind kind = Kind::UserAgent;
    QString text;
};

// The links of the page now shown, once it has loaded and again as the timer
// menu opens (a list may add items as it is scrolled).
struct PageLinksFound
{
    static constexpr Kind kind = Kind::PageLinks;
    PageLinks page;
};

using Message = std::variant<Setup, Show, Navigate, CountdownLine, TimerMenu, PageItemsMenu, Bars, Hold,
    Notice, Close, Shown, Location, DocumentArrived, DocumentComplete, CommandChosen, Geometry, UserAgent,
    PageLinksFound>;

Kind kindOf(const Message &message);
// The kind's name on the wire.
QString nameOf(Kind kind);

QJsonObject encode(const Message &message);
// Nothing for an unknown kind or a message whose fields do not fit its kind.
std::optional<Message> decode(const QJsonObject &object);

} // namespace wire
