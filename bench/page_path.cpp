// The page reader's path for one fetched item page: decode a 1 MB EUC-JP
// Yahoo!オークション page as code page 932 and read its times, against glibc
// iconv decoding the same bytes as CP932 and nothing else. Prints one row of
// the table bench/run shows; the runs go to the error output.
//
//   bench_page_path [runs=21]

#include "cp932_codec.h"
#include "page_recognizer.h"
#include "test_pages.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QList>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kPageBytes = 1024 * 1024;

// Seller's text as item pages carry it: Japanese in table rows, with the
// markup around it. Nothing here may read as a start or end marker.
QByteArray filler(qsizetype bytes)
{
    const QByteArray row = TestPages::iconvEncode(
        u"<tr><td class=\"desc\">商品説明</td><td>状態は良好です。付属品はすべてそろっています。"_s
        u"送料は落札者様のご負担でお願いいたします。ノークレーム・ノーリターンでお願いします。</td></tr>\n"_s,
        "EUC-JP");
    QByteArray out;
    out.reserve(bytes + row.size());
    while (out.size() < bytes)
        out += row;
    return out;
}

// The test page of the reader's own tests, grown to a megabyte around its
// date table. The filler ends on ASCII, so the byte pairs after it pair up as
// they did before.
QByteArray megabytePage()
{
    QByteArray page = TestPages::yahooEucPage(u"12月 20日 21時 5分"_s, u"12月 27日 22時 30分"_s);
    const qsizetype half = (kPageBytes - page.size()) / 2;
    page.insert(page.indexOf("<table>"), filler(half));
    page.insert(page.lastIndexOf("</body>"), filler(kPageBytes - page.size()));
    return page.left(page.lastIndexOf("</body>")) + "</body></html>\n";
}

// CP932 to UTF-16 through iconv, going on past bytes it refuses the way a
// decoder of page text has to.
qsizetype iconvDecode(iconv_t cd, const QByteArray &in, std::vector<char> &out)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *inp = const_cast<char *>(in.constData());
    size_t inLeft = size_t(in.size());
    char *outp = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != size_t(-1))
            break;
        if ((errno != EILSEQ && errno != EINVAL) || outLeft < 2)
            break;
        // U+30FB, little-endian, for the byte it would not take.
        *outp++ = char(0xFB);
        *outp++ = char(0x30);
        outLeft -= 2;
        ++inp;
        --inLeft;
    }
    return qsizetype(out.size() - outLeft) / 2;
}

// Keeps the compiler from dropping a reading whose result no one looks at.
volatile qsizetype sink = 0;

template <typename F> double medianMs(int runs, F &&f)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times << t.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = std::max(1, argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 21);

    const QByteArray page = megabytePage();
    const QUrl url(u"https://page.auctions.yahoo.co.jp/jp/auction/b1000000000"_s);
    const QDate today(2026, 12, 8);

    // Checked once, outside the timing: a reader that finds nothing would
    // be measured doing less than its job.
    const PageReading reading = recognizePage(Cp932::decode(page), page, url, today);
    if (reading.start != u"26/12/20 21:05"_s || reading.end != u"26/12/27 22:30"_s) {
        std::fprintf(stderr, "the page was not read: start \"%s\", end \"%s\"\n", qPrintable(reading.start),
            qPrintable(reading.end));
        return 1;
    }

    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == iconv_t(-1)) {
        std::fprintf(stderr, "iconv has no CP932\n");
        return 1;
    }
    std::vector<char> buffer(size_t(page.size()) * 2 + 16);
    qsizetype iconvChars = 0;
    qsizetype ourChars = 0;

    const double ours = medianMs(runs, [&] {
        const QString text = Cp932::decode(page);
        const PageReading r = recognizePage(text, page, url, today);
        ourChars = text.size();
        sink = r.end.size();
    });
    const double decodeOnly = medianMs(runs, [&] { ourChars = Cp932::decode(page).size(); });
    const double reference = medianMs(runs, [&] { iconvChars = iconvDecode(cd, page, buffer); });
    iconv_close(cd);

    std::fprintf(stderr,
        "page %lld bytes; ours %lld characters in %.2f ms (decode alone %.2f ms), iconv %lld characters in "
        "%.2f ms\n",
        qint64(page.size()), qint64(ourChars), ours, decodeOnly, qint64(iconvChars), reference);
    std::printf("| page path: decode + read a 1 MB EUC-JP item page (ms) | %.2f (decode alone %.2f) | "
                "iconv CP932 decode alone %.2f | %.2f |\n",
        ours, decodeOnly, reference, ours / reference);
    return 0;
}
