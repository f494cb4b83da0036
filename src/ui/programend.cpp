#include "ui/programend.h"

#include <cstdio>
#include <unistd.h>

namespace quillmer::ui {

void ProcessEnder::EndProgram()
{
    if (m_beforeExit)
        m_beforeExit();
    std::fflush(nullptr);
    ::_exit(0);
}

} // namespace quillmer::ui
