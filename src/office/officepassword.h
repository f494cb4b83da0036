#pragma once

// The interaction handler a workbook opened with Workbooks.Open(path,
// Password) is loaded with. Only the office host's own files include this
// header.

#include "office/spreadsheethost.h"
#include "office/unoruntime.h"

#include <com/sun/star/task/XInteractionHandler.hpp>
#include <optional>

namespace quillmer::office {

// What the office asked while the workbook loaded.
enum class PasswordOutcome
{
    NotAsked,  // no password was asked for
    Answered,  // asked once and answered
    NotGiven,  // asked for, and there was none to give
    NotOpening // asked again after the answer: the password is wrong
};

// Answers the first request for an open password with password, refuses a
// second one and every other request (a repair, a filter's options), so
// that the office never waits for anybody. The handler is called on a
// thread of the UNO bridge while the load is under way.
class PasswordHandler
{
public:
    explicit PasswordHandler(std::optional<QString> password);
    ~PasswordHandler();

    uno::Reference<uno::css::task::XInteractionHandler> handler() const;
    PasswordOutcome outcome() const;

    // The job's message for an outcome that kept the workbook closed, or
    // an empty text.
    static QString refusal(PasswordOutcome outcome);

private:
    class Impl;
    uno::Reference<uno::css::task::XInteractionHandler> m_handler;
    Impl* m_impl; // owned by m_handler
};

} // namespace quillmer::office
