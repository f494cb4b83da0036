#include "ui/programend.h"

#include <cstdio>
#include <unistd.h>

namespace quillmer::ui {

void ProcessEnder::EndProgram()
{
    std::fflush(nullptr);
    ::_exit(0);
}

} // namespace quillmer::ui
