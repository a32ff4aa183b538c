#pragma once

#include "browser_end.h"
#include "message_channel.h"
#include "program_end.h"

#include <QLocalSocket>
#include <QTest>

#include <sys/socket.h>

#include <memory>

// Both ends of the link in one process, over a socket pair: the browser
// window's end and the program's, as the two programs hold them.
struct InProcessLink
{
    QLocalSocket programSocket;
    QLocalSocket browserSocket;
    std::unique_ptr<MessageChannel> channel;
    std::unique_ptr<BrowserEnd> browser;
    std::unique_ptr<ProgramEnd> program;

    // `messages` shows the window's boxes and those the program asks for.
    InProcessLink(Services &services, MessageBox &messages, BrowserEnd::WindowFactory factory = {})
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            return;
        programSocket.setSocketDescriptor(fds[0]);
        browserSocket.setSocketDescriptor(fds[1]);
        browser = std::make_unique<BrowserEnd>(&browserSocket, messages, messages, std::move(factory));
        channel = std::make_unique<MessageChannel>(&programSocket);
        program = std::make_unique<ProgramEnd>(*channel, services);
    }

    // The window, shown; null when it did not come.
    BrowserWindow *show()
    {
        program->show();
        if (!QTest::qWaitFor([this] { return program->isShown(); }, 20000))
            return nullptr;
        return browser->window();
    }
};
