#include "direct_access.h"

#include <array>

using namespace Qt::StringLiterals;

namespace DirectAccess {

QString yahooHome()
{
    return kYahooHost.toString() + u"/jp/"_s;
}

QString biddersHome()
{
    return kBiddersHost.toString() + u"/"_s;
}

QString yahooSite(int index)
{
    static const std::array<QString, 3> paths = {
        u"/jp/show/mystatus"_s,
        u"/jp/show/mystatus?select=watchlist&watchclosed=0"_s,
        u"/jp/show/mystatus?select=selling"_s,
    };
    if (index < 0 || index >= int(paths.size()))
        return {};
    return kYahooUserHost.toString() + paths[size_t(index)];
}

QString biddersSite(int index)
{
    static const std::array<QString, 5> paths = {
        u"/mypage/index.html"_s,
        u"/dap/sv/myp01"_s,
        u"/dap/sv/myp21"_s,
        u"/dap/sv/myp11c"_s,
        u"/dap/sv/myp99"_s,
    };
    if (index < 0 || index >= int(paths.size()))
        return {};
    return kBiddersHost.toString() + paths[size_t(index)];
}

} // namespace DirectAccess
