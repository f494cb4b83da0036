#include "errors/trap.h"

#include <new>
#include <utility>

namespace quillmer {

std::optional<AppError> captureError(const std::function<void()>& f)
{
    try {
        f();
        return std::nullopt;
    } catch (const AppError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return AppError(err::OutOfMemory);
    } catch (const std::exception& e) {
        return AppError(err::InvalidCall, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return AppError(err::InvalidCall);
    }
}

void ignoreFailures(const std::function<void()>& f) noexcept
{
    try {
        captureError(f);
    } catch (...) {
    }
}

Trap::Trap(ErrorHandler& handler, QString label) : m_handler(handler), m_label(std::move(label))
{
}

Trap::Trap(ErrorHandler& handler, QString label, PointerService& pointerAfterFailure)
    : m_handler(handler), m_label(std::move(label)), m_pointerAfterFailure(&pointerAfterFailure)
{
}

bool Trap::report(const AppError& error)
{
    m_lastError = error;
    const bool goOn = m_handler.HandleError(error.number(), error.description(), m_label);
    if (m_pointerAfterFailure)
        ignoreFailures([&] { m_pointerAfterFailure->setDefault(); });
    return goOn;
}

bool Trap::step(const std::function<void()>& f)
{
    if (auto error = captureError(f))
        return report(*error);
    return true;
}

void Trap::stepAlways(const std::function<void()>& f)
{
    step(f);
}

} // namespace quillmer
