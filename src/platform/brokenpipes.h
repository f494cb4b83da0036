#pragma once

#include <csignal>

namespace quillmer::platform {

// A write to a pipe whose reader has gone fails with EPIPE instead of ending
// the whole program: the UNO bridge writes to an office's pipe without
// MSG_NOSIGNAL, and the printer driver's input is a pipe, so an office or a
// Ghostscript that dies in the middle of a call must fail only that call.
// Each main() calls this once, before any thread starts; programs started
// later get the default back (Process resets it in the child).
inline void ignoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace quillmer::platform
