#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class QObject;
struct PageReading;
struct Services;

// An item to put in a slot, as a reading of its page found it.
struct Registrable
{
    QString name;
    QString url;
    // yy/mm/dd hh:mm as the slot keeps them; the start may be "N/A".
    QString start;
    QString end;
    // The end to count to: to the second where the page gives seconds.
    QDateTime endAt;
    // What it costs now, as the page said: whole yen and a count, -1 unknown.
    qint64 price = -1;
    qint64 bids = -1;
};

// Puts an item into a timer slot and arms it, or says why not.
class Registration
{
public:
    // Every slot counts down already.
    static const QString kNoFreeSlot;
    // The page gives no auction to count to.
    static const QString kNotUsable;

    explicit Registration(Services &services);

    // The item's name in a browser window caption (page title, " - ",
    // "Larkvane"): the title without what the auction sites add to it; none
    // where the title is too short for their rule.
    static std::optional<QString> itemName(const QString &caption);

    // The item now shown, into slot n. `caption` is the browser window's
    // caption and `url` the browser's location, both taken at the moment of
    // the click, and `page` what the page shown was read as (none: it gave
    // nothing); `owner` owns the message boxes.
    void registerSlot(
        int n, const QString &caption, const QString &url, const PageReading *page, QObject *owner);

    // Slots not counting down, which a registration may take.
    QList<int> freeSlots() const;
    // Says so and is false when no alert sound is chosen: nothing may start.
    bool soundChosen(QObject *owner) const;
    // One item into the first free slot, with the messages of the timer menu's
    // registration. False when it was not put in.
    bool registerItem(const Registrable &item, QObject *owner);
    // Many, soonest end first, into the free slots in their order; nothing
    // counting down is overwritten. One message for all. The number started.
    int registerItems(QList<Registrable> items, QObject *owner);

private:
    void arm(int n, const Registrable &item);

    Services &m_services;
};
