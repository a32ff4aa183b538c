#pragma once

#include <QString>

// Ten timer slots, numbered 1 to 10 in every key, control and message.
inline constexpr int kSlotCount = 10;

// What larkvane.ini keeps of one timer slot: text, as it is stored. Whether
// the slot counts down is not kept; start-up works it out from the end.
struct SlotRecord
{
    QString title; // empty: the slot is free
    QString start; // yy/mm/dd hh:mm as the page gave it, or "N/A"
    QString end; // yy/mm/dd hh:mm
    QString url;
    QString ownLead; // seconds as typed into a snooze; empty: the general lead
    QString price {}; // whole yen as its page last said, empty when unknown
    QString bids {}; // the number of bids, empty when unknown
    bool isFree() const { return title.isEmpty(); }
    friend bool operator==(const SlotRecord &, const SlotRecord &) = default;
};

// Where the save finds the slots: whoever owns them.
class SlotSource
{
public:
    virtual ~SlotSource() = default;
    virtual SlotRecord slotRecord(int n) const = 0;
};
