#pragma once

#include <QByteArray>
#include <QString>

// Item pages made up for the tests, built from the markers and offsets the
// page reader relies on.
namespace TestPages {

// The Yahoo! title marker, and the start and end anchors, as code page 932
// reads the EUC-JP bytes.
QString yahooTitleMarker();
QString yahooStartMarker();
QString yahooEndMarker();

// A Yahoo! page as decoded text: the 16-character windows (shorter ones are
// followed by "x") sit at 64 after the start anchor and 61 after the end
// anchor. An empty end window leaves out the end anchor.
QString yahooText(const QString &startWindow, const QString &endWindow, bool withStartMarker = true);

// A Bidders page as text: `window` (30 characters, "x" after it) at 100 after
// "終了時間".
QString biddersText(const QString &window, bool withTitle = true);

// The same pages as the servers send them: EUC-JP with the visible dates
// "12月 20日 21時 5分", and Shift_JIS.
QByteArray yahooEucPage(const QString &startDate, const QString &endDate,
    const QString &title = QStringLiteral("Yahoo!オークション - テスト商品"));
QByteArray biddersSjisPage(const QString &window);

// Today's item page as the service serves it (UTF-8), its data in
// __NEXT_DATA__ after a campaign's decoy end time. `end` is ISO 8601 with
// +09:00; `status` "open" or "closed".
QByteArray todaysPage(const QByteArray &end, const QByteArray &id = "x1000000001",
    const QByteArray &title = "MacBook Air M2 美品 充電回数少なめ 付属品完備",
    const QByteArray &status = "open");

// Conversion through glibc iconv, independent of the program's own codec.
QByteArray iconvEncode(const QString &text, const char *charset);

} // namespace TestPages
