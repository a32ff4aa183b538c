#include "japanese.h"

#include "log.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace Japanese {

bool speakJapanese()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto *translator = new QTranslator(QCoreApplication::instance());
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(u"qtbase_ja"_s, folder)) {
        qCWarning(lcTray) << "no Japanese for Qt's own texts in" << folder << "(qt6-translations-l10n)";
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

QString timerName(int n)
{
    return u"タイマー"_s + (n >= 1 && n < 10 ? QString(QChar(0xFF10 + n)) : QString::number(n));
}

} // namespace Japanese
