#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

// An auction a page links to: its id and its item page's address, without the
// query and fragment that lists add for their own counting.
struct LinkedAuction
{
    QString id;
    QUrl url;
    bool operator==(const LinkedAuction &) const = default;
};

// The auctions among a page's links: addresses of the Yahoo!オークション hosts
// whose path ends in /jp/auction/<id>. Each auction once, where it is first
// linked; lists link an item from its picture, its title and its price.
QList<LinkedAuction> linkedAuctions(const QStringList &links);

class AuctionTimers;

// The auctions of the slots counting down, by id: one item in two slots
// would only warn twice.
QSet<QString> armedAuctionIds(const AuctionTimers &timers);

// Whether the page is the wall the watch list puts up without a login: the
// login page sent to on the way to the watch list, or the watch list's own
// address asking for a password.
bool isWatchListLoginWall(const QUrl &page, bool passwordField);

// The item page that what the user typed names: an item page's address, or a
// bare auction id (letters and digits) on Yahoo!オークション. Full-width
// letters and digits, as an input method gives them, count as their ASCII
// selves. Invalid when it names neither.
QUrl typedAuctionAddress(const QString &typed);
