#pragma once

#include <QList>
#include <QString>

#include <cstdint>

struct xcb_connection_t;

namespace quillmer::test {

// Real top-level windows on the X11 display of the test run, made and
// inspected with xcb the way another program's windows would be. A window
// "minimised" here looks as a window manager leaves an iconified window:
// unmapped, WM_STATE iconic and _NET_WM_STATE_HIDDEN.
class X11TestWindows
{
public:
    enum class TitleProperty { NetWmName, WmNameOnly };

    X11TestWindows();
    ~X11TestWindows();
    X11TestWindows(const X11TestWindows&) = delete;
    X11TestWindows& operator=(const X11TestWindows&) = delete;

    bool connected() const;

    // A top-level window with the title; mapped unless minimised.
    uint32_t create(const QString& title, bool minimised = false,
                    TitleProperty property = TitleProperty::NetWmName);
    // A frame window holding a client window with WM_STATE, as a
    // reparenting window manager makes; returns the client.
    uint32_t createFramed(const QString& title);
    void destroy(uint32_t window);
    // Destroys every window made here so far.
    void destroyAll();

    bool isViewable(uint32_t window);
    // The root's children, bottom first.
    QList<uint32_t> stackingOrder();
    // True when no other viewable top-level window lies above this one.
    bool isTopmostViewable(uint32_t window);
    uint32_t inputFocus();
    // Asks the window manager to iconify the window, as its minimise button
    // would (ICCCM WM_CHANGE_STATE).
    void iconify(uint32_t window);
    // The window the window manager names active (_NET_ACTIVE_WINDOW), or 0.
    uint32_t activeWindow();
    // The windows the window manager lists as managed (_NET_CLIENT_LIST).
    QList<uint32_t> managedWindows();
    // Waits until the server has handled every request so far.
    void sync();

private:
    uint32_t atom(const char* name);
    void setTitle(uint32_t window, const QString& title, TitleProperty property);
    void setWmState(uint32_t window, uint32_t state);

    xcb_connection_t* m_conn = nullptr;
    uint32_t m_root = 0;
    QList<uint32_t> m_windows;
};

} // namespace quillmer::test
