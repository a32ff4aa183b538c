#include "service_mark.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

bool onDomain(const QString &host, const QString &domain)
{
    return host == domain || host.endsWith(u'.' + domain);
}

} // namespace

ServiceMark serviceMarkOf(const QString &address, const QString &listed)
{
    const QUrl url(address.trimmed());
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http"_s || scheme == u"https"_s) {
        const QString host = url.host().toLower();
        if (onDomain(host, u"yahoo.co.jp"_s))
            return ServiceMark::Yahoo;
        if (onDomain(host, u"bidders.co.jp"_s))
            return ServiceMark::Bidders;
    }
    return listed == u"N/A"_s ? ServiceMark::Bidders : ServiceMark::Yahoo;
}
