// The browser process, started by the program when the browser window opens
// and ended when it closes: Chromium cannot be shut down inside a running
// process, so this is how its memory is given back.

#include "browser_end.h"
#include "browser_probe.h"
#include "japanese.h"
#include "log.h"
#include "qt_message_box.h"

#include <QApplication>
#include <QIcon>
#include <QLocalSocket>

#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // The link is a socket the program hands down, named by its number.
    int fd = -1;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--link-fd") == 0)
            fd = std::atoi(argv[i + 1]);
    }
    if (fd < 0) {
        std::fprintf(stderr, "larkvane-browser: started by larkvane itself, not by hand\n");
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(u"larkvane"_s);
    QApplication::setApplicationVersion(QStringLiteral(LARKVANE_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(u":/larkvane/larkvane.svg"_s));
    // One program to the desktop: the same menu entry and icon as the
    // program's own windows (Wayland's app id, the taskbar's grouping).
    QGuiApplication::setDesktopFileName(u"io.github.larkvane.Larkvane"_s);
    Japanese::speakJapanese();

    QLocalSocket socket;
    if (!socket.setSocketDescriptor(fd)) {
        std::fprintf(stderr, "larkvane-browser: no link to the program on descriptor %d\n", fd);
        return 2;
    }
    // The boxes the program asks for return at once: the program's next
    // message must not wait for the user.
    class Notices final : public MessageBox
    {
    public:
        void show(const QString &text, QObject *owner) override
        {
            QtMessageBox::showWithoutWaiting(text, owner);
        }
    };
    QtMessageBox messages;
    Notices notices;
    int code = 0;
    {
        BrowserEnd end(&socket, messages, notices);
        BrowserProbe::fromEnvironment(end);
        QObject::connect(&end, &BrowserEnd::finished, &app, [] { QCoreApplication::exit(0); });
        code = QApplication::exec();
        end.flush();
    }
    qCInfo(lcBrowser) << "browser process ends";
    return code;
}
