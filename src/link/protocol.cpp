#include "protocol.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace wire {

namespace {

const QString kOp = u"op"_s;

// The names on the wire; each kind and command has exactly one.
const std::array<std::pair<Kind, QString>, 18> kKindNames { {
    { Kind::Setup, u"setup"_s },
    { Kind::Show, u"show"_s },
    { Kind::Navigate, u"navigate"_s },
    { Kind::CountdownLine, u"countdown"_s },
    { Kind::TimerMenu, u"timer-menu"_s },
    { Kind::PageItemsMenu, u"page-items-menu"_s },
    { Kind::Bars, u"bars"_s },
    { Kind::Hold, u"hold"_s },
    { Kind::Notice, u"notice"_s },
    { Kind::Close, u"close"_s },
    { Kind::Shown, u"shown"_s },
    { Kind::Location, u"location"_s },
    { Kind::DocumentArrived, u"document-arrived"_s },
    { Kind::DocumentComplete, u"document-complete"_s },
    { Kind::CommandChosen, u"command"_s },
    { Kind::Geometry, u"geometry"_s },
    { Kind::UserAgent, u"agent"_s },
    { Kind::PageLinks, u"links"_s },
} };

const std::array<std::pair<Command, QString>, 10> kCommandNames { {
    { Command::Settings, u"settings"_s },
    { Command::Exit, u"exit"_s },
    { Command::Bookmarks, u"bookmarks"_s },
    { Command::AddBookmark, u"add-bookmark"_s },
    { Command::Timer, u"timer"_s },
    { Command::TimerList, u"timer-list"_s },
    { Command::Version, u"version"_s },
    { Command::Search, u"search"_s },
    { Command::TimersFromPage, u"timers-from-page"_s },
    { Command::TimerByAddress, u"timer-by-address"_s },
} };

template <class E, size_t N>
std::optional<E> byName(const std::array<std::pair<E, QString>, N> &table, const QString &name)
{
    for (const auto &[value, text] : table) {
        if (text == name)
            return value;
    }
    return std::nullopt;
}

template <class E, size_t N> QString nameIn(const std::array<std::pair<E, QString>, N> &table, E value)
{
    for (const auto &[v, text] : table) {
        if (v == value)
            return text;
    }
    return {};
}

QJsonArray twipsArray(const Twips &twips)
{
    return { twips[0], twips[1], twips[2], twips[3] };
}

std::optional<Twips> twipsFrom(const QJsonValue &value)
{
    const QJsonArray a = value.toArray();
    if (a.size() != 4)
        return std::nullopt;
    Twips t;
    for (int i = 0; i < 4; ++i) {
        if (!a[i].isString())
            return std::nullopt;
        t[size_t(i)] = a[i].toString();
    }
    return t;
}

QJsonObject barsObject(const BarSettings &b)
{
    return { { u"tbar1"_s, b.toolbar }, { u"tbar2"_s, b.buttons }, { u"tbar2mode"_s, b.corner } };
}

BarSettings barsFrom(const QJsonValue &value)
{
    const QJsonObject o = value.toObject();
    return { o.value(u"tbar1"_s).toString(), o.value(u"tbar2"_s).toString(),
        o.value(u"tbar2mode"_s).toString() };
}

std::optional<int> showHide(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const int v = value.toInt(-2);
    return v >= -1 && v <= 1 ? std::optional<int>(v) : std::nullopt;
}

// One pair of these for each message.
QJsonObject fields(const Setup &m)
{
    return { { u"geometry"_s, twipsArray(m.geometry) }, { u"bars"_s, barsObject(m.bars) },
        { u"start"_s, m.startPage } };
}
std::optional<Message> readSetup(const QJsonObject &o)
{
    const std::optional<Twips> geometry = twipsFrom(o.value(u"geometry"_s));
    if (!geometry)
        return std::nullopt;
    return Setup { *geometry, barsFrom(o.value(u"bars"_s)), o.value(u"start"_s).toString() };
}

QJsonObject fields(const Show &)
{
    return {};
}
QJsonObject fields(const Close &)
{
    return {};
}
QJsonObject fields(const Shown &)
{
    return {};
}

QJsonObject fields(const Navigate &m)
{
    return { { u"address"_s, m.address } };
}
QJsonObject fields(const CountdownLine &m)
{
    return { { u"text"_s, m.text } };
}
QJsonObject fields(const Notice &m)
{
    return { { u"text"_s, m.text } };
}
QJsonObject fields(const UserAgent &m)
{
    return { { u"text"_s, m.text } };
}
QJsonObject fields(const TimerMenu &m)
{
    return { { u"enabled"_s, m.enabled } };
}
QJsonObject fields(const PageItemsMenu &m)
{
    return { { u"enabled"_s, m.enabled } };
}
QJsonObject fields(const Hold &m)
{
    return { { u"on"_s, m.on } };
}

QJsonObject fields(const Bars &m)
{
    return { { u"toolbar"_s, m.toolbar }, { u"buttons"_s, m.buttons },
        { u"bars"_s, barsObject(m.settings) } };
}
std::optional<Message> readBars(const QJsonObject &o)
{
    const std::optional<int> toolbar = showHide(o.value(u"toolbar"_s));
    const std::optional<int> buttons = showHide(o.value(u"buttons"_s));
    if (!toolbar || !buttons)
        return std::nullopt;
    return Bars { *toolbar, *buttons, barsFrom(o.value(u"bars"_s)) };
}

QJsonObject fields(const Location &m)
{
    return { { u"url"_s, m.url }, { u"title"_s, m.title }, { u"caption"_s, m.caption } };
}

QJsonObject fields(const DocumentArrived &m)
{
    return { { u"url"_s, m.url } };
}

QJsonObject fields(const DocumentComplete &m)
{
    return { { u"top"_s, m.topLevel }, { u"url"_s, m.url } };
}

QJsonObject fields(const CommandChosen &m)
{
    return { { u"command"_s, nameIn(kCommandNames, m.command) }, { u"slot"_s, m.slot },
        { u"window"_s, m.window } };
}
std::optional<Message> readCommand(const QJsonObject &o)
{
    const std::optional<Command> command = byName(kCommandNames, o.value(u"command"_s).toString());
    if (!command)
        return std::nullopt;
    const int slot = o.value(u"slot"_s).toInt(0);
    if (*command == Command::Timer && (slot < 1 || slot > 10))
        return std::nullopt;
    return CommandChosen { *command, slot, o.value(u"window"_s).toString() };
}

QJsonObject fields(const Geometry &m)
{
    return { { u"twips"_s, twipsArray(m.twips) } };
}

std::optional<Message> readGeometry(const QJsonObject &o)
{
    const std::optional<Twips> twips = twipsFrom(o.value(u"twips"_s));
    if (!twips)
        return std::nullopt;
    return Geometry { *twips };
}

QJsonObject fields(const PageLinksFound &m)
{
    return { { u"url"_s, m.page.url }, { u"links"_s, QJsonArray::fromStringList(m.page.links) },
        { u"password"_s, m.page.passwordField } };
}
std::optional<Message> readPageLinks(const QJsonObject &o)
{
    const QJsonValue links = o.value(u"links"_s);
    if (!links.isArray())
        return std::nullopt;
    PageLinks page { o.value(u"url"_s).toString(), {}, o.value(u"password"_s).toBool() };
    for (const QJsonValue &link : links.toArray()) {
        if (!link.isString())
            return std::nullopt;
        page.links.append(link.toString());
    }
    return PageLinksFound { page };
}

QString text(const QJsonObject &o, const QString &key)
{
    return o.value(key).toString();
}

} // namespace

Kind kindOf(const Message &message)
{
    return std::visit([](const auto &m) { return std::decay_t<decltype(m)>::kind; }, message);
}

QString nameOf(Kind kind)
{
    return nameIn(kKindNames, kind);
}

QJsonObject encode(const Message &message)
{
    QJsonObject o = std::visit([](const auto &m) { return fields(m); }, message);
    o.insert(kOp, nameOf(kindOf(message)));
    return o;
}

std::optional<Message> decode(const QJsonObject &o)
{
    const std::optional<Kind> kind = byName(kKindNames, o.value(kOp).toString());
    if (!kind)
        return std::nullopt;
    switch (*kind) {
    case Kind::Setup:
        return readSetup(o);
    case Kind::Show:
        return Show {};
    case Kind::Navigate:
        return Navigate { text(o, u"address"_s) };
    case Kind::CountdownLine:
        return CountdownLine { text(o, u"text"_s) };
    case Kind::TimerMenu:
        return TimerMenu { o.value(u"enabled"_s).toBool() };
    case Kind::PageItemsMenu:
        return PageItemsMenu { o.value(u"enabled"_s).toBool() };
    case Kind::Bars:
        return readBars(o);
    case Kind::Hold:
        return Hold { o.value(u"on"_s).toBool() };
    case Kind::Notice:
        return Notice { text(o, u"text"_s) };
    case Kind::Close:
        return Close {};
    case Kind::Shown:
        return Shown {};
    case Kind::Location:
        return Location { text(o, u"url"_s), text(o, u"title"_s), text(o, u"caption"_s) };
    case Kind::DocumentArrived:
        return DocumentArrived { text(o, u"url"_s) };
    case Kind::DocumentComplete:
        return DocumentComplete { o.value(u"top"_s).toBool(), text(o, u"url"_s) };
    case Kind::CommandChosen:
        return readCommand(o);
    case Kind::Geometry:
        return readGeometry(o);
    case Kind::UserAgent:
        return UserAgent { text(o, u"text"_s) };
    case Kind::PageLinks:
        return readPageLinks(o);
    }
    return std::nullopt;
}

} // namespace wire
