#include "x11testwindows.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace quillmer::test {

X11TestWindows::X11TestWindows()
{
    int screen = 0;
    m_conn = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(m_conn)) {
        xcb_disconnect(m_conn);
        m_conn = nullptr;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
    for (int i = 0; i < screen; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
}

X11TestWindows::~X11TestWindows()
{
    if (!m_conn)
        return;
    for (uint32_t w : m_windows)
        xcb_destroy_window(m_conn, w);
    xcb_flush(m_conn);
    xcb_disconnect(m_conn);
}

bool X11TestWindows::connected() const
{
    return m_conn != nullptr;
}

uint32_t X11TestWindows::atom(const char* name)
{
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        m_conn, xcb_intern_atom(m_conn, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr);
    const uint32_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}

void X11TestWindows::setTitle(uint32_t window, const QString& title, TitleProperty property)
{
    if (property == TitleProperty::NetWmName) {
        const QByteArray utf8 = title.toUtf8();
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"),
                            atom("UTF8_STRING"), 8, static_cast<uint32_t>(utf8.size()),
                            utf8.constData());
    }
    const QByteArray latin1 = title.toLatin1();
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                        8, static_cast<uint32_t>(latin1.size()), latin1.constData());
}

void X11TestWindows::setWmState(uint32_t window, uint32_t state)
{
    const uint32_t data[2] = {state, 0};
    const uint32_t wmState = atom("WM_STATE");
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, window, wmState, wmState, 32, 2, data);
}

uint32_t X11TestWindows::create(const QString& title, bool minimised, TitleProperty property)
{
    const uint32_t w = xcb_generate_id(m_conn);
    xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, w, m_root, 40, 40, 200, 120, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    m_windows.append(w);
    setTitle(w, title, property);
    if (minimised) {
        setWmState(w, 3); // IconicState
        const uint32_t hidden = atom("_NET_WM_STATE_HIDDEN");
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_STATE"),
                            XCB_ATOM_ATOM, 32, 1, &hidden);
    } else {
        xcb_map_window(m_conn, w);
    }
    sync();
    return w;
}

uint32_t X11TestWindows::createFramed(const QString& title)
{
    const uint32_t frame = xcb_generate_id(m_conn);
    xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, frame, m_root, 60, 60, 220, 150, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    m_windows.append(frame);
    const uint32_t client = xcb_generate_id(m_conn);
    xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, client, frame, 4, 24, 200, 120, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    setTitle(client, title, TitleProperty::NetWmName);
    setWmState(client, 1); // NormalState
    xcb_map_window(m_conn, client);
    xcb_map_window(m_conn, frame);
    sync();
    return client;
}

void X11TestWindows::destroy(uint32_t window)
{
    xcb_destroy_window(m_conn, window);
    m_windows.removeAll(window);
    sync();
}

void X11TestWindows::destroyAll()
{
    for (uint32_t w : m_windows)
        xcb_destroy_window(m_conn, w);
    m_windows.clear();
    sync();
}

bool X11TestWindows::isViewable(uint32_t window)
{
    xcb_get_window_attributes_reply_t* r = xcb_get_window_attributes_reply(
        m_conn, xcb_get_window_attributes(m_conn, window), nullptr);
    const bool viewable = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(r);
    return viewable;
}

QList<uint32_t> X11TestWindows::stackingOrder()
{
    QList<uint32_t> out;
    xcb_query_tree_reply_t* r = xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, m_root), nullptr);
    if (!r)
        return out;
    const xcb_window_t* c = xcb_query_tree_children(r);
    for (int i = 0; i < xcb_query_tree_children_length(r); ++i)
        out.append(c[i]);
    std::free(r);
    return out;
}

bool X11TestWindows::isTopmostViewable(uint32_t window)
{
    const QList<uint32_t> order = stackingOrder();
    const qsizetype at = order.indexOf(window);
    if (at < 0)
        return false;
    for (qsizetype i = at + 1; i < order.size(); ++i) {
        if (isViewable(order[i]))
            return false;
    }
    return true;
}

uint32_t X11TestWindows::inputFocus()
{
    xcb_get_input_focus_reply_t* r =
        xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr);
    const uint32_t focus = r ? r->focus : 0;
    std::free(r);
    return focus;
}

void X11TestWindows::iconify(uint32_t window)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_CHANGE_STATE");
    event.data.data32[0] = 3; // IconicState
    xcb_send_event(m_conn, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    sync();
}

uint32_t X11TestWindows::activeWindow()
{
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        m_conn,
        xcb_get_property(m_conn, 0, m_root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1),
        nullptr);
    uint32_t active = 0;
    if (r && xcb_get_property_value_length(r) >= 4)
        active = *static_cast<const uint32_t*>(xcb_get_property_value(r));
    std::free(r);
    return active;
}

QList<uint32_t> X11TestWindows::managedWindows()
{
    QList<uint32_t> out;
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        m_conn,
        xcb_get_property(m_conn, 0, m_root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 1024),
        nullptr);
    if (r) {
        const auto* ids = static_cast<const uint32_t*>(xcb_get_property_value(r));
        for (int i = 0; i < xcb_get_property_value_length(r) / 4; ++i)
            out.append(ids[i]);
    }
    std::free(r);
    return out;
}

void X11TestWindows::sync()
{
    std::free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
}

} // namespace quillmer::test
