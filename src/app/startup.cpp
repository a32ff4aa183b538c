#include "startup.h"

#include "message_box.h"

#include <QGuiApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

bool showsBrowserAtStart(const QString &chk1, bool trayAvailable)
{
    return chk1 != u"1"_s || !trayAvailable;
}

void tellAlreadyRunning(MessageBox &messages)
{
    const QString text = u"二重起動はできません。すでにトレイに常駐しています。"_s;
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen"_s || platform == u"minimal"_s) {
        std::fputs((text + u'\n').toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        return;
    }
    messages.show(text);
}
