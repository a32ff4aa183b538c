#pragma once

#include <QString>

// One thing to tell the user away from the desk: an alert (urgent) or a
// notice (an extension, an end passed in a sleep, a test), with the item it
// is about.
struct RemoteNotice
{
    enum class Kind { Alert, Notice };
    Kind kind = Kind::Notice;
    QString text;
    QString itemTitle;
    QString itemUrl;

    // The text, and the item's title on a line of its own where the text does
    // not name it already ("終了時間が延長されました（…）" names no item).
    QString textWithTitle() const
    {
        if (itemTitle.isEmpty() || text.contains(itemTitle))
            return text;
        return text + u'\n' + itemTitle;
    }
};
