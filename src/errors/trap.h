#pragma once

#include "errors/apperror.h"
#include "errors/errorhandler.h"

#include <QString>

#include <functional>
#include <optional>

namespace quillmer {

// Runs f and hands back the failure it raised, if any. Every exception is
// turned into an AppError: std::bad_alloc is "Out of memory", any other
// std::exception is "Invalid procedure call or argument" with its text.
std::optional<AppError> captureError(const std::function<void()>& f);

// Runs f and skips whatever failure it raises, for the procedures that
// ignore every failure inside them.
void ignoreFailures(const std::function<void()>& f) noexcept;

// "Trap a failure, ask HandleError, go on with the next step or leave".
// A trapping procedure makes one Trap with its label and runs each of its
// steps through it:
//
//     Trap trap(handler, "frmMain:cmdBrowse");
//     if (!trap.step([&] { ... })) return;   // leave when the handler says so
//     trap.stepAlways([&] { ... });          // goes on whatever it answers
class Trap
{
public:
    Trap(ErrorHandler& handler, QString label);
    // After every failure, once the handler has answered, the pointer also
    // goes back to default (a failure doing so is skipped).
    Trap(ErrorHandler& handler, QString label, PointerService& pointerAfterFailure);

    // True when the step succeeded or the handler lets the procedure go on.
    bool step(const std::function<void()>& f);
    // Reports a failure but goes on in either case.
    void stepAlways(const std::function<void()>& f);
    // Reports an error caught elsewhere; same answer as step().
    bool report(const AppError& error);

    // The last failure any step raised.
    const std::optional<AppError>& lastError() const { return m_lastError; }

private:
    ErrorHandler& m_handler;
    QString m_label;
    PointerService* m_pointerAfterFailure = nullptr;
    std::optional<AppError> m_lastError;
};

} // namespace quillmer
