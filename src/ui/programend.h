#pragma once

#include "errors/services.h"

#include <functional>

namespace quillmer::ui {

// Flushes the C streams and ends the process with _exit(0). No destructor
// and no event runs, and the X server drops the program's windows with its
// connection. Nothing is lost: the settings are written when they are
// chosen. No child is left behind: the program's own children are
// Ghostscript, which it waits for, and LibreOffice, whose offices are ended
// by beforeExit (and would die with the program anyway, by their
// parent-death signal); a viewer opened through the desktop is detached by
// xdg-open and belongs to the user.
class ProcessEnder : public ProgramExit
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
