#include "state_store.h"

#include "settings_fields.h"

using namespace Qt::StringLiterals;

namespace {

const QHash<QString, QString> &initialTexts()
{
    static const QHash<QString, QString> texts = {
        { Setting::kLeadSeconds, u"0"_s },
        { Setting::kBrowserX, u"0"_s },
        { Setting::kBrowserY, u"0"_s },
        { Setting::kBrowserWidth, u"0"_s },
        { Setting::kBrowserHeight, u"0"_s },
        { Setting::kToolbar, u"0"_s },
        { Setting::kButtons, u"0"_s },
        { Setting::kButtonsCorner, u"0"_s },
    };
    return texts;
}

} // namespace

StateStore::StateStore(QObject *parent)
    : QObject(parent)
{
}

QString StateStore::value(const QString &name) const
{
    auto it = m_fields.constFind(name);
    if (it != m_fields.constEnd())
        return *it;
    return initialTexts().value(name);
}

void StateStore::setValue(const QString &name, const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    const QString kept = nul < 0 ? text : text.left(nul);
    const QString before = value(name);
    m_fields.insert(name, kept);
    if (kept != before)
        Q_EMIT valueChanged(name, kept);
}
