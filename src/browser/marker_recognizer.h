#pragma once

#include <QDate>
#include <QString>
#include <QStringView>

// The start and end of an auction read from an item page of the older kind:
// Yahoo!オークション pages in EUC-JP and ビッダーズ pages in Shift_JIS, both read
// as code page 932 text. The times sit at fixed offsets from fixed markers;
// every position counts characters of that decoding.
struct MarkerReading
{
    enum class Kind { None, Yahoo, Bidders };

    Kind kind = Kind::None;
    // What the scratch fields hold after the page: yy/mm/dd hh:mm, "N/A" (a
    // ビッダーズ page gives no start), or empty.
    QString start;
    QString end;
    // False when the reading broke off: the fields written before the break
    // keep their values and the timer menu is left as it was.
    bool complete = true;
};

// `today` is the Japan date at the moment of the page, for the year, which
// the pages do not show.
MarkerReading recognizeMarkers(QStringView source, QDate today);
