#pragma once

#include "platform/windowfinder.h"

#include <QList>
#include <QString>
#include <memory>

namespace quillmer::platform {

// Window look-ups on an X11 display, through xcb and its EWMH helpers.
//
// The top-level client windows are those a window manager lists in
// _NET_CLIENT_LIST; without one, the root window's children (each replaced by
// the descendant that carries WM_STATE, if a reparenting manager framed it).
// A window's title is _NET_WM_NAME, else WM_NAME. Minimised means
// _NET_WM_STATE_HIDDEN or an iconic WM_STATE. Restoring and bringing to the
// front ask the window manager with _NET_ACTIVE_WINDOW; without a manager the
// window is mapped, raised and given the input focus directly.
class X11WindowFinder : public WindowFinder
{
public:
    // Connects to the display named, or to $DISPLAY when none is named.
    explicit X11WindowFinder(const QString& display = QString());
    ~X11WindowFinder() override;
    X11WindowFinder(const X11WindowFinder&) = delete;
    X11WindowFinder& operator=(const X11WindowFinder&) = delete;

    // False when no display could be reached; then nothing is ever found.
    bool connected() const;

    std::optional<WindowHandle> findWindow(const QString& title) override;
    bool isIconic(WindowHandle window) override;
    void restoreWindow(WindowHandle window) override;
    void setForegroundWindow(WindowHandle window) override;
    void activateApplication(const QString& title) override;

    // The top-level client windows, topmost first where the order is known.
    QList<WindowHandle> clientWindows();
    // The window's title; empty when it has none or is gone.
    QString windowTitle(WindowHandle window);
    // Whether a window manager that follows EWMH runs on the display.
    bool windowManagerRunning();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The window finder of the desktop the program runs on: X11 on Qt's xcb
// platform when the display answers, else one that finds nothing.
std::unique_ptr<WindowFinder> openDesktopWindowFinder(const QString& qtPlatformName);

} // namespace quillmer::platform
