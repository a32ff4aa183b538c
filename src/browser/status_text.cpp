#include "status_text.h"

using namespace Qt::StringLiterals;

namespace {

const QString kLoading = u"ページを開いています..."_s;

} // namespace

bool StatusText::setLink(const QString &url)
{
    const QString before = text();
    m_link = url;
    return changed(before);
}

bool StatusText::setLoad(Load state, int percent)
{
    const QString before = text();
    switch (state) {
    case Load::Started:
        m_load = kLoading;
        break;
    case Load::Progress:
        // Progress belongs to a load under way; a late report after the end
        // must not bring the loading text back.
        if (m_load.startsWith(kLoading) && percent > 0 && percent < 100)
            m_load = kLoading + u" ("_s + QString::number(percent) + u"%)"_s;
        break;
    case Load::Succeeded:
        m_load = u"ページが表示されました"_s;
        break;
    case Load::Stopped:
        m_load = u"ページの読み込みを中止しました"_s;
        break;
    case Load::Failed:
        m_load = u"ページを表示できませんでした"_s;
        break;
    case Load::CertificateRefused:
        m_load = u"安全な接続を確認できないため、ページを表示しませんでした"_s;
        break;
    }
    return changed(before);
}
