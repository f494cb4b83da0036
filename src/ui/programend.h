#pragma once

#include <functional>

namespace quillmer::ui {

// Ends the program at once: no window event and no handler runs after it.
// Callers return straight after the call, so a test's recording stand-in
// leaves them in the state the real end would.
class ProgramEnder
{
public:
    virtual ~ProgramEnder() = default;
    virtual void EndProgram() = 0;
};

// Flushes the C streams and ends the process with _exit(0). No destructor
// and no event runs, and the X server drops the program's windows with its
// connection. Nothing is lost: the settings are written when they are
// chosen. No child is left behind: the program's own children are
// Ghostscript, which it waits for, and LibreOffice, whose offices are ended
// by beforeExit (and would die with the program anyway, by their
// parent-death signal); a viewer opened through the desktop is detached by
// xdg-open and belongs to the user.
class ProcessEnder : public ProgramEnder
{
public:
    explicit ProcessEnder(std::function<void()> beforeExit = {})
        : m_beforeExit(std::move(beforeExit))
    {
    }
    void EndProgram() override;

private:
    std::function<void()> m_beforeExit;
};

} // namespace quillmer::ui
