#include "platform/windowfinder.h"

#include "errors/apperror.h"

namespace quillmer::platform {

std::optional<WindowHandle> NullWindowFinder::findWindow(const QString&)
{
    return std::nullopt;
}

bool NullWindowFinder::isIconic(WindowHandle)
{
    return false;
}

void NullWindowFinder::restoreWindow(WindowHandle)
{
}

void NullWindowFinder::setForegroundWindow(WindowHandle)
{
}

void NullWindowFinder::activateApplication(const QString&)
{
    throw AppError(err::InvalidCall);
}

} // namespace quillmer::platform
