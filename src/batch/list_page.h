#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

// An auction as a list page describes it.
struct ListedAuction
{
    QString id;
    QUrl url; // its item page
    QString title; // empty where the list gives none
    QDateTime end; // invalid where the list gives none
};

// What a list page of Yahoo!オークション says of its auctions.
struct ListPageReading
{
    // The page has a list of its own: search cards, or the list in its page
    // data. It may be empty (a search that found nothing).
    bool isList = false;
    // A list of ended auctions (落札相場): none of them can be registered.
    bool closed = false;
    // Each auction once, in the page's order.
    QList<ListedAuction> auctions;
};

// A search, seller or closed-item list as the service serves it, before any
// of its scripts have run: the search cards (data-auction-id, -title,
// -endtime), and the page data's listing (__NEXT_DATA__, where a seller's
// list has its items only). Yahoo!フリマ items are never listed; they have no
// auction to count to. Only a page of the service's own hosts is read.
ListPageReading readListPage(QByteArrayView body, const QUrl &url);
