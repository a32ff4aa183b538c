// Item and list pages: any body is read without harm, whatever times come out
// are times the slots can hold, and a list names only the service's item pages.

#include "cp932_codec.h"
#include "fuzz_check.h"
#include "item_data_recognizer.h"
#include "list_page.h"
#include "marker_recognizer.h"
#include "page_recognizer.h"
#include "time_text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QSet>

#include <cstdint>

using namespace Qt::StringLiterals;

namespace {

const QStringList kUrls = {
    u"https://page.auctions.yahoo.co.jp/jp/auction/x1"_s,
    u"https://auctions.yahoo.co.jp/jp/auction/b1234567"_s,
    u"http://www.bidders.co.jp/item/7"_s,
    u"https://auctions.yahoo.co.jp/search/search?p=x"_s,
};

bool inSlotYears(const QDateTime &t)
{
    const int year = t.toOffsetFromUtc(9 * 3600).date().year();
    return year >= 2000 && year <= 2099;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QDate today(2000 + in.ConsumeIntegralInRange(0, 99), in.ConsumeIntegralInRange(1, 12),
        in.ConsumeIntegralInRange(1, 28));
    const QUrl url(kUrls.at(in.ConsumeIntegralInRange<qsizetype>(0, kUrls.size() - 1)));
    const std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();
    const QByteArrayView body(reinterpret_cast<const char *>(rest.data()), qsizetype(rest.size()));
    const QString source = Cp932::decode(body);

    const MarkerReading markers = recognizeMarkers(source, today);
    if (markers.kind == MarkerReading::Kind::None)
        FUZZ_CHECK(markers.start.isEmpty() && markers.end.isEmpty() && markers.complete);
    if (markers.kind == MarkerReading::Kind::Bidders)
        FUZZ_CHECK(markers.start == u"N/A"_s);

    const ItemDataReading item = recognizeItemData(body, url);
    if (item.found()) {
        FUZZ_CHECK(item.end.isValid() && inSlotYears(item.end));
        FUZZ_CHECK(!item.start.isValid() || inSlotYears(item.start));
        FUZZ_CHECK(!yahooAuctionId(url).isEmpty());
    }

    // A time the slot is given is one its text names again.
    const PageReading page = recognizePage(source, body, url, today);
    if (page.endAt.isValid() && !page.closed) {
        FUZZ_CHECK(parseTimeText(page.end)
            == page.endAt.addSecs(-(page.endAt.time().second())).addMSecs(-page.endAt.time().msec()));
        FUZZ_CHECK(timeText(page.endAt) == page.end);
    }
    if (!page.end.isEmpty() && markers.kind == MarkerReading::Kind::None)
        FUZZ_CHECK(parseTimeText(page.end).isValid());
    const QDateTime parsed = parseTimeText(page.end);
    if (parsed.isValid())
        FUZZ_CHECK(timeText(parsed) == page.end);

    const ListPageReading list = readListPage(body, url);
    QSet<QString> listed;
    for (const ListedAuction &a : list.auctions) {
        FUZZ_CHECK(list.isList && !listed.contains(a.id));
        listed.insert(a.id);
        FUZZ_CHECK(yahooAuctionId(a.url) == a.id);
        FUZZ_CHECK(!a.end.isValid() || inSlotYears(a.end));
    }
    return 0;
}
