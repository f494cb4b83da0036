#pragma once

#include <QString>
#include <optional>

namespace quillmer::platform {

// A top-level window of the desktop, as the window system names it.
using WindowHandle = quint32;

// Window look-ups by title: the few operations the start-up sibling check
// needs. Titles compare exactly, blanks included.
class WindowFinder
{
public:
    virtual ~WindowFinder() = default;

    // A top-level client window whose title is exactly the text, or none.
    virtual std::optional<WindowHandle> findWindow(const QString& title) = 0;
    // Whether the window is minimised.
    virtual bool isIconic(WindowHandle window) = 0;
    // Restores a minimised window.
    virtual void restoreWindow(WindowHandle window) = 0;
    // Makes the window the foreground window.
    virtual void setForegroundWindow(WindowHandle window) = 0;
    // Activates the window whose title is the text, else the first whose
    // title begins with it. Throws AppError 5 when no title matches.
    virtual void activateApplication(const QString& title) = 0;
};

// Where no X11 display exists (offscreen, Wayland): nothing is ever found.
class NullWindowFinder : public WindowFinder
{
public:
    std::optional<WindowHandle> findWindow(const QString& title) override;
    bool isIconic(WindowHandle window) override;
    void restoreWindow(WindowHandle window) override;
    void setForegroundWindow(WindowHandle window) override;
    void activateApplication(const QString& title) override;
};

} // namespace quillmer::platform
