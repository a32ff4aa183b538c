#include "test_pages.h"

#include "cp932_codec.h"

#include <iconv.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace TestPages {

QString yahooTitleMarker()
{
    return u"Yahoo!\uFF65\uFF6A\uFF61\uFF7C\uFF65\uFF6F\uFF65\uFF77\uFF65\u903E\u30FB"_s;
}

QString yahooStartMarker()
{
    return u"\uFF73\uFF6B\uFF7B\uFF8F\uFF86"_s;
}

QString yahooEndMarker()
{
    return u"\uFF7D\uFF6A\uFF8E\uFF7B\uFF86"_s;
}

namespace {

QString padded(const QString &window, int length)
{
    return window.size() >= length ? window : window + QString(length - window.size(), u'x');
}

} // namespace

QString yahooText(const QString &startWindow, const QString &endWindow, bool withStartMarker)
{
    QString s = u"<html><head><title>"_s + yahooTitleMarker() + u" - item</title></head><body>\n"_s;
    s += QString(40, u'x');
    if (withStartMarker)
        s += yahooStartMarker() + QString(59, u'.') + padded(startWindow, 16);
    s += QString(40, u'x');
    if (!endWindow.isEmpty())
        s += yahooEndMarker() + QString(56, u'.') + padded(endWindow, 16);
    s += QString(40, u'x') + u"</body></html>"_s;
    return s;
}

QString biddersText(const QString &window, bool withTitle)
{
    QString s = u"<html><head><title>"_s + (withTitle ? u"[ビッダーズ] item"_s : u"item"_s)
        + u"</title></head><body>\n"_s + QString(30, u'x');
    s += u"終了時間"_s + QString(96, u'.') + padded(window, 30);
    s += QString(40, u'x') + u"</body></html>"_s;
    return s;
}

QByteArray todaysPage(
    const QByteArray &end, const QByteArray &id, const QByteArray &title, const QByteArray &status)
{
    return "<html><head><title>Yahoo!オークション - " + QString::fromUtf8(title).left(20).toUtf8()
        + "...</title></head>"
          "<body><script id=\"__NEXT_DATA__\" type=\"application/json\">{\"props\":{\"pageProps\":"
          "{\"campaign\":{\"endTime\":\"2026-12-31T23:59:59+09:00\"},\"initialState\":{\"item\":"
          "{\"detail\":{\"item\":{\"auctionId\":\""
        + id + "\",\"title\":\"" + title + "\",\"startTime\":\"2026-12-01T20:00:00+09:00\",\"endTime\":\""
        + end + "\",\"isAutomaticExtension\":true,\"status\":\"" + status
        + "\"}}}}}}}</script></body></html>";
}

QByteArray iconvEncode(const QString &text, const char *charset)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == iconv_t(-1))
        return {};
    QByteArray in = text.toUtf8();
    std::vector<char> out(size_t(in.size()) * 4 + 16);
    char *inp = in.data();
    size_t inLeft = size_t(in.size());
    char *outp = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1))
        return {};
    return QByteArray(out.data(), qsizetype(out.size() - outLeft));
}

QByteArray yahooEucPage(const QString &startDate, const QString &endDate, const QString &title)
{
    // Where the window lands depends on how the program's codec counts the
    // odd byte pairs around the anchors, so the filler is measured on that
    // decoding, as the reader sees it.
    auto windowAt = [](const QByteArray &before, const QString &marker, int offset) {
        const QString decoded = Cp932::decode(before);
        const qsizetype at = decoded.lastIndexOf(marker);
        const qsizetype fill = at < 0 ? 0 : at + offset - decoded.size();
        return QByteArray(qMax<qsizetype>(fill, 0), ' ');
    };
    QByteArray page = iconvEncode(u"<html><head><title>"_s + title
            + u"</title></head><body>\n"_s
              u"<table><tr><td>商品の情報</td></tr>\n<tr><td>開始日時</td><td>："_s,
        "EUC-JP");
    page += windowAt(page, yahooStartMarker(), 64);
    page += iconvEncode(startDate + u"</td></tr>\n<tr><td>終了日時</td><td>："_s, "EUC-JP");
    page += windowAt(page, yahooEndMarker(), 61);
    page += iconvEncode(endDate + u"</td></tr></table></body></html>\n"_s, "EUC-JP");
    return page;
}

QByteArray biddersSjisPage(const QString &window)
{
    return iconvEncode(biddersText(window), "CP932");
}

} // namespace TestPages
