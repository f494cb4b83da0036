#include "office/officepassword.h"

#include <com/sun/star/task/PasswordRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionPassword.hpp>
#include <cppuhelper/implbase1.hxx>
#include <mutex>

namespace quillmer::office {

using namespace uno;

class PasswordHandler::Impl final : public cppu::WeakImplHelper1<css::task::XInteractionHandler>
{
public:
    explicit Impl(std::optional<QString> password) : m_password(std::move(password)) {}

    void SAL_CALL handle(const Reference<css::task::XInteractionRequest>& request) override
    {
        const Sequence<Reference<css::task::XInteractionContinuation>> choices =
            request->getContinuations();
        css::task::PasswordRequest asked;
        if (request->getRequest() >>= asked) {
            std::lock_guard lock(m_mutex);
            if (m_outcome == PasswordOutcome::NotAsked && m_password) {
                for (const auto& choice : choices) {
                    const Reference<css::task::XInteractionPassword> answer(choice, UNO_QUERY);
                    if (answer.is()) {
                        answer->setPassword(ou(*m_password));
                        answer->select();
                        m_outcome = PasswordOutcome::Answered;
                        return;
                    }
                }
            }
            m_outcome = m_outcome == PasswordOutcome::Answered ? PasswordOutcome::NotOpening
                                                               : PasswordOutcome::NotGiven;
        }
        for (const auto& choice : choices) {
            const Reference<css::task::XInteractionAbort> abort(choice, UNO_QUERY);
            if (abort.is()) {
                abort->select();
                return;
            }
        }
    }

    PasswordOutcome outcome() const
    {
        std::lock_guard lock(m_mutex);
        return m_outcome;
    }

private:
    const std::optional<QString> m_password;
    mutable std::mutex m_mutex;
    PasswordOutcome m_outcome = PasswordOutcome::NotAsked;
};

PasswordHandler::PasswordHandler(std::optional<QString> password)
    : m_impl(new Impl(std::move(password)))
{
    m_handler.set(m_impl);
}

PasswordHandler::~PasswordHandler() = default;

Reference<css::task::XInteractionHandler> PasswordHandler::handler() const
{
    return m_handler;
}

PasswordOutcome PasswordHandler::outcome() const
{
    return m_impl->outcome();
}

QString PasswordHandler::refusal(PasswordOutcome outcome)
{
    switch (outcome) {
    case PasswordOutcome::NotGiven:
        return QStringLiteral("the workbook needs a password");
    case PasswordOutcome::NotOpening:
        return QStringLiteral("the password does not open the workbook");
    case PasswordOutcome::NotAsked:
    case PasswordOutcome::Answered:
        break;
    }
    return QString();
}

} // namespace quillmer::office
