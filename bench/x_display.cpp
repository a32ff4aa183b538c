#include "x_display.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QElapsedTimer>

#include <poll.h>

#include <cstdlib>
#include <cstring>

namespace {

template <typename T> struct Reply
{
    T *p;
    explicit Reply(T *reply)
        : p(reply)
    {
    }
    ~Reply() { std::free(p); }
    Reply(const Reply &) = delete;
    Reply &operator=(const Reply &) = delete;
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

} // namespace

XDisplay::XDisplay(const QString &display)
{
    const QByteArray name = display.toLocal8Bit();
    xcb_connection_t *c = xcb_connect(name.isEmpty() ? nullptr : name.constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    m_connection = c;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Top-level windows appearing, and icons leaving the root for a tray.
    const quint32 mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

XDisplay::~XDisplay()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

quint32 XDisplay::atom(const char *name)
{
    const xcb_intern_atom_cookie_t cookie
        = xcb_intern_atom(m_connection, 0, quint16(std::strlen(name)), name);
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    return reply ? reply->atom : quint32(XCB_ATOM_NONE);
}

QList<XDisplay::Window> XDisplay::children(Window w)
{
    QList<Window> out;
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, w), nullptr));
    if (!tree)
        return out;
    const xcb_window_t *kids = xcb_query_tree_children(tree.p);
    out.reserve(xcb_query_tree_children_length(tree.p));
    for (int i = 0; i < xcb_query_tree_children_length(tree.p); ++i)
        out << kids[i];
    return out;
}

QList<XDisplay::Window> XDisplay::descendants(Window w)
{
    QList<Window> out;
    QList<Window> todo = children(w);
    while (!todo.isEmpty()) {
        const Window next = todo.takeLast();
        out << next;
        todo += children(next);
    }
    return out;
}

bool XDisplay::viewable(Window w)
{
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, w), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

qint64 XDisplay::pidOf(Window w)
{
    static const quint32 netWmPid = atom("_NET_WM_PID");
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, w, netWmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || xcb_get_property_value_length(reply.p) < 4)
        return 0;
    return *static_cast<const quint32 *>(xcb_get_property_value(reply.p));
}

QList<XDisplay::Window> XDisplay::windowsOf(qint64 pid)
{
    QList<Window> out;
    if (!m_connection)
        return out;
    for (Window w : children(m_root)) {
        if (pidOf(w) == pid && viewable(w))
            out << w;
    }
    return out;
}

QString XDisplay::name(Window w)
{
    static const quint32 netWmName = atom("_NET_WM_NAME");
    static const quint32 utf8 = atom("UTF8_STRING");
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, w, netWmName, utf8, 0, 1024), nullptr));
    if (!reply)
        return {};
    return QString::fromUtf8(
        static_cast<const char *>(xcb_get_property_value(reply.p)), xcb_get_property_value_length(reply.p));
}

QList<XDisplay::Window> XDisplay::dockedIcons(qint64 trayHostPid)
{
    QList<Window> icons;
    if (!m_connection)
        return icons;
    // Every client's resource ids share the bits outside this mask: a window
    // below the host's own that has other bits was made by someone else.
    const quint32 clientBits = ~xcb_get_setup(m_connection)->resource_id_mask;
    for (Window host : windowsOf(trayHostPid)) {
        for (Window w : descendants(host)) {
            if ((w & clientBits) != (host & clientBits) && viewable(w))
                icons << w;
        }
    }
    return icons;
}

void XDisplay::requestClose(Window w)
{
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = w;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(m_connection);
}

void XDisplay::drainEvents()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
        std::free(event);
}

bool XDisplay::waitUntil(const std::function<bool()> &done, int timeoutMs, int pollMs)
{
    if (!m_connection)
        return false;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        drainEvents();
        if (done())
            return true;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd fd { xcb_get_file_descriptor(m_connection), POLLIN, 0 };
        ::poll(&fd, 1, int(std::min<qint64>(left, pollMs)));
    }
}
