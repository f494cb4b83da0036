#include "platform/x11windowfinder.h"

#include "errors/apperror.h"

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <cstdlib>
#include <array>
#include <cstring>
#include <deque>

namespace quillmer::platform {

namespace {

constexpr quint32 IconicState = 3; // ICCCM WM_STATE value

// Frees an xcb reply when it leaves scope.
template <typename T>
struct Reply
{
    T* p = nullptr;
    explicit Reply(T* reply) : p(reply) {}
    ~Reply() { std::free(p); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

} // namespace

struct X11WindowFinder::Private
{
    xcb_connection_t* conn = nullptr;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    int screen = 0;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_atom_t wmState = XCB_ATOM_NONE;

    ~Private()
    {
        if (ewmhReady)
            xcb_ewmh_connection_wipe(&ewmh);
        if (conn)
            xcb_disconnect(conn);
    }

    xcb_atom_t intern(const char* name)
    {
        Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
            conn, xcb_intern_atom(conn, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // Raises an AppError when the request failed (a window that is gone).
    void check(xcb_void_cookie_t cookie, const char* what)
    {
        if (xcb_generic_error_t* e = xcb_request_check(conn, cookie)) {
            const int code = e->error_code;
            std::free(e);
            throw AppError(err::InvalidCall, QStringLiteral("X11 %1 failed (error %2)")
                                                 .arg(QLatin1String(what))
                                                 .arg(code));
        }
    }

    bool hasWmState(xcb_window_t w)
    {
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
            conn, xcb_get_property(conn, 0, w, wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 2),
            nullptr));
        return r && r->type != XCB_ATOM_NONE;
    }

    QList<xcb_window_t> children(xcb_window_t w)
    {
        QList<xcb_window_t> out;
        Reply<xcb_query_tree_reply_t> r(
            xcb_query_tree_reply(conn, xcb_query_tree(conn, w), nullptr));
        if (!r)
            return out;
        const xcb_window_t* c = xcb_query_tree_children(r.p);
        const int n = xcb_query_tree_children_length(r.p);
        for (int i = 0; i < n; ++i)
            out.append(c[i]);
        return out;
    }

    // The client inside a top-level window: the window itself when it has
    // WM_STATE, else the nearest descendant that has it, else the window.
    xcb_window_t clientOf(xcb_window_t top)
    {
        if (hasWmState(top))
            return top;
        std::deque<xcb_window_t> queue;
        for (xcb_window_t c : children(top))
            queue.push_back(c);
        while (!queue.empty()) {
            const xcb_window_t w = queue.front();
            queue.pop_front();
            if (hasWmState(w))
                return w;
            for (xcb_window_t c : children(w))
                queue.push_back(c);
        }
        return top;
    }

    bool viewable(xcb_window_t w)
    {
        Reply<xcb_get_window_attributes_reply_t> r(xcb_get_window_attributes_reply(
            conn, xcb_get_window_attributes(conn, w), nullptr));
        return r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    }
};

X11WindowFinder::X11WindowFinder(const QString& display) : d(std::make_unique<Private>())
{
    const QByteArray name = display.toLocal8Bit();
    d->conn = xcb_connect(display.isEmpty() ? nullptr : name.constData(), &d->screen);
    if (xcb_connection_has_error(d->conn)) {
        xcb_disconnect(d->conn);
        d->conn = nullptr;
        return;
    }
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(d->conn, &d->ewmh);
    d->ewmhReady = xcb_ewmh_init_atoms_replies(&d->ewmh, cookies, nullptr) != 0;
    if (!d->ewmhReady || d->screen >= d->ewmh.nb_screens) {
        if (d->ewmhReady)
            xcb_ewmh_connection_wipe(&d->ewmh);
        d->ewmhReady = false;
        xcb_disconnect(d->conn);
        d->conn = nullptr;
        return;
    }
    d->root = d->ewmh.screens[d->screen]->root;
    d->wmState = d->intern("WM_STATE");
}

X11WindowFinder::~X11WindowFinder() = default;

bool X11WindowFinder::connected() const
{
    return d->conn != nullptr;
}

bool X11WindowFinder::windowManagerRunning()
{
    if (!connected())
        return false;
    xcb_window_t check = XCB_WINDOW_NONE;
    if (!xcb_ewmh_get_supporting_wm_check_reply(
            &d->ewmh, xcb_ewmh_get_supporting_wm_check(&d->ewmh, d->root), &check, nullptr))
        return false;
    // A stale property left by a manager that has gone does not count: the
    // check window must name itself.
    xcb_window_t self = XCB_WINDOW_NONE;
    return xcb_ewmh_get_supporting_wm_check_reply(
               &d->ewmh, xcb_ewmh_get_supporting_wm_check(&d->ewmh, check), &self, nullptr) &&
           self == check;
}

QList<WindowHandle> X11WindowFinder::clientWindows()
{
    QList<WindowHandle> out;
    if (!connected())
        return out;
    if (windowManagerRunning()) {
        xcb_ewmh_get_windows_reply_t list;
        if (xcb_ewmh_get_client_list_stacking_reply(
                &d->ewmh, xcb_ewmh_get_client_list_stacking(&d->ewmh, d->screen), &list,
                nullptr)) {
            for (uint32_t i = list.windows_len; i > 0; --i)
                out.append(list.windows[i - 1]);
            xcb_ewmh_get_windows_reply_wipe(&list);
            return out;
        }
        if (xcb_ewmh_get_client_list_reply(
                &d->ewmh, xcb_ewmh_get_client_list(&d->ewmh, d->screen), &list, nullptr)) {
            for (uint32_t i = 0; i < list.windows_len; ++i)
                out.append(list.windows[i]);
            xcb_ewmh_get_windows_reply_wipe(&list);
            return out;
        }
    }
    // The root's children come bottom first; the topmost is wanted first.
    const QList<xcb_window_t> tops = d->children(d->root);
    for (auto it = tops.crbegin(); it != tops.crend(); ++it)
        out.append(d->clientOf(*it));
    return out;
}

QString X11WindowFinder::windowTitle(WindowHandle window)
{
    if (!connected())
        return {};
    xcb_ewmh_get_utf8_strings_reply_t name;
    if (xcb_ewmh_get_wm_name_reply(&d->ewmh, xcb_ewmh_get_wm_name(&d->ewmh, window), &name,
                                   nullptr)) {
        QString title = QString::fromUtf8(name.strings, static_cast<qsizetype>(name.strings_len));
        xcb_ewmh_get_utf8_strings_reply_wipe(&name);
        return title;
    }
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        d->conn,
        xcb_get_property(d->conn, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr));
    if (!r || r->type == XCB_ATOM_NONE || r->format != 8)
        return {};
    const char* bytes = static_cast<const char*>(xcb_get_property_value(r.p));
    const int length = xcb_get_property_value_length(r.p);
    if (r->type == d->ewmh.UTF8_STRING)
        return QString::fromUtf8(bytes, length);
    // STRING is Latin-1; COMPOUND_TEXT agrees with it for plain titles.
    return QString::fromLatin1(bytes, length);
}

std::optional<WindowHandle> X11WindowFinder::findWindow(const QString& title)
{
    for (WindowHandle w : clientWindows()) {
        if (windowTitle(w) == title)
            return w;
    }
    return std::nullopt;
}

bool X11WindowFinder::isIconic(WindowHandle window)
{
    if (!connected())
        return false;
    xcb_ewmh_get_atoms_reply_t states;
    if (xcb_ewmh_get_wm_state_reply(&d->ewmh, xcb_ewmh_get_wm_state(&d->ewmh, window), &states,
                                    nullptr)) {
        bool hidden = false;
        for (uint32_t i = 0; i < states.atoms_len; ++i)
            hidden = hidden || states.atoms[i] == d->ewmh._NET_WM_STATE_HIDDEN;
        xcb_ewmh_get_atoms_reply_wipe(&states);
        if (hidden)
            return true;
    }
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        d->conn, xcb_get_property(d->conn, 0, window, d->wmState, d->wmState, 0, 2), nullptr));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.p) < 4)
        return false;
    return *static_cast<const quint32*>(xcb_get_property_value(r.p)) == IconicState;
}

void X11WindowFinder::restoreWindow(WindowHandle window)
{
    if (!connected())
        return;
    // Mapping an iconic window asks its manager to make it normal again;
    // without a manager it simply shows it.
    d->check(xcb_map_window_checked(d->conn, window), "map");
    if (windowManagerRunning())
        setForegroundWindow(window);
    else
        d->check(xcb_configure_window_checked(d->conn, window, XCB_CONFIG_WINDOW_STACK_MODE,
                                              std::array<uint32_t, 1>{XCB_STACK_MODE_ABOVE}.data()),
                 "raise");
    xcb_flush(d->conn);
}

void X11WindowFinder::setForegroundWindow(WindowHandle window)
{
    if (!connected())
        return;
    if (windowManagerRunning()) {
        // Source 2: a request on the user's behalf, which managers honour.
        d->check(xcb_ewmh_request_change_active_window(&d->ewmh, d->screen, window,
                                                       XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                                       XCB_CURRENT_TIME, XCB_WINDOW_NONE),
                 "activate");
    } else {
        d->check(xcb_configure_window_checked(d->conn, window, XCB_CONFIG_WINDOW_STACK_MODE,
                                              std::array<uint32_t, 1>{XCB_STACK_MODE_ABOVE}.data()),
                 "raise");
        // Only a viewable window can take the focus.
        if (d->viewable(window))
            d->check(xcb_set_input_focus_checked(d->conn, XCB_INPUT_FOCUS_POINTER_ROOT, window,
                                                 XCB_CURRENT_TIME),
                     "focus");
    }
    xcb_flush(d->conn);
}

void X11WindowFinder::activateApplication(const QString& title)
{
    std::optional<WindowHandle> prefixed;
    std::optional<WindowHandle> exact;
    for (WindowHandle w : clientWindows()) {
        const QString t = windowTitle(w);
        if (t == title) {
            exact = w;
            break;
        }
        if (!prefixed && t.startsWith(title))
            prefixed = w;
    }
    const std::optional<WindowHandle> target = exact ? exact : prefixed;
    if (!target)
        throw AppError(err::InvalidCall);
    setForegroundWindow(*target);
}

std::unique_ptr<WindowFinder> openDesktopWindowFinder(const QString& qtPlatformName)
{
    if (qtPlatformName == QLatin1String("xcb")) {
        auto x11 = std::make_unique<X11WindowFinder>();
        if (x11->connected())
            return x11;
    }
    return std::make_unique<NullWindowFinder>();
}

} // namespace quillmer::platform
