#pragma once

#include <QString>
#include <QStringView>

// The pages of the two auction services that the menu and the toolbar open
// directly. Each host lives here once.
namespace DirectAccess {

inline constexpr QStringView kYahooHost = u"http://auctions.yahoo.co.jp";
inline constexpr QStringView kYahooUserHost = u"http://user.auctions.yahoo.co.jp";
inline constexpr QStringView kBiddersHost = u"http://www.bidders.co.jp";

QString yahooHome();
QString biddersHome();
// マイオークション, ウォッチリスト, 出品リスト (0 to 2); empty for any other index.
QString yahooSite(int index);
// マイオークション, ウォッチリスト, 出品リスト, 入札状況一覧, アラート (0 to 4);
// empty for any other index.
QString biddersSite(int index);

} // namespace DirectAccess
