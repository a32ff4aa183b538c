#include "browser_engine.h"

#include <QDir>
#include <QUrl>

using namespace Qt::StringLiterals;

QUrl browserAddress(const QString &address)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return {};
    const QUrl url = QDir::isAbsolutePath(text) ? QUrl::fromLocalFile(text) : QUrl::fromUserInput(text);
    return isBrowsableUrl(url) ? url : QUrl();
}

bool isBrowsableUrl(const QUrl &url)
{
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme();
    return scheme == u"http"_s || scheme == u"https"_s || scheme == u"file"_s;
}
