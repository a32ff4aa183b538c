#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QUrl>

// The start and end of an auction read from a Yahoo!オークション item page as
// the site serves it today (UTF-8, laid out by a script framework), where the
// older fixed-offset reading finds nothing. The page carries the same item in
// several places; the first that names this page's auction wins:
// the framework's JSON (__NEXT_DATA__), the analytics object (pageData), and
// last the visible "開始日時" / "終了日時" rows, which name no auction.
struct ItemDataReading
{
    enum class Source { None, NextData, PageData, VisibleRows };

    Source source = Source::None;
    QDateTime start; // invalid when the page gives none
    QDateTime end; // always valid when source is not None
    bool exactSeconds = false; // the visible rows give minutes only
    // The service's own clock when it made the page: the end less the
    // seconds left that the page states (to the millisecond). Invalid when
    // the page states none.
    QDateTime serviceTime;
    QString title; // the item's own title; empty from the visible rows
    bool automaticExtension = false;
    bool closed = false;

    bool found() const { return source != Source::None; }
};

// An http(s) address on one of the hosts Yahoo!オークション serves item pages
// from.
bool isYahooAuctionHost(const QUrl &url);

// The auction id of a Yahoo!オークション item page address (its last path
// segment), or an empty text for any other address.
QString yahooAuctionId(const QUrl &url);

ItemDataReading recognizeItemData(QByteArrayView utf8Body, const QUrl &url);
