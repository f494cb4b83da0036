#include "errors/errorhandler.h"

#include "errors/trap.h"

namespace quillmer {

namespace {

// The data-access numbers the handler knows besides the run-time errors.
namespace data {
constexpr qint32 ItemNotFound = 3265;
constexpr qint32 ObjectClosed = 3704;
constexpr qint32 Error35773 = 35773;
constexpr qint32 UnspecifiedFailure = qint32(0x80004005);
constexpr qint32 DeletedRow = qint32(0x80040E23);
constexpr qint32 NoSuchTable = qint32(0x80040E37);
constexpr qint32 CommandErrors = qint32(0x80040E14);
constexpr qint32 TypeMismatch = qint32(0x80020005);
} // namespace data

enum class Show
{
    Nothing,
    Overflow,
    Database
};

struct Decision
{
    Show show;
    bool goOn;
};

Decision decide(qint32 number)
{
    switch (number) {
    case err::Overflow:
        return {Show::Overflow, false};
    case err::ObjectNotSet:
    case data::ObjectClosed:
    case data::Error35773:
    case data::CommandErrors:
        return {Show::Nothing, false};
    case data::UnspecifiedFailure:
    case data::DeletedRow:
    case data::NoSuchTable:
        return {Show::Database, false};
    case err::DivisionByZero:
    case err::TypeMismatch:
    case err::InvalidUseOfNull:
    case err::InvalidPropertyValue:
    case data::ItemNotFound:
    case data::TypeMismatch:
    default:
        return {Show::Nothing, true};
    }
}

} // namespace

ErrorHandler::ErrorHandler(MessageBoxService& messages, PointerService& pointer)
    : m_messages(messages), m_pointer(pointer)
{
}

QString ErrorHandler::overflowMessage()
{
    return QStringLiteral("Error: OverFlow of Controls.\r\nYou have exceeded the control limits.");
}

QString ErrorHandler::databaseMessage(const QString& description)
{
    return QStringLiteral("Following error occured while accessing database:\r\n\r\n") + description +
           QStringLiteral("\r\n\r\nPlease contact the database administrator.");
}

bool ErrorHandler::HandleError(qint32 number, const QString& description, const QString& label)
{
    // The label names the failing procedure; it is neither shown nor stored.
    Q_UNUSED(label);
    ignoreFailures([&] { m_pointer.setDefault(); });
    const Decision decision = decide(number);
    ignoreFailures([&] {
        if (decision.show == Show::Overflow)
            m_messages.show(overflowMessage(), MessageIcon::Critical);
        else if (decision.show == Show::Database)
            m_messages.show(databaseMessage(description), MessageIcon::Critical);
    });
    return decision.goOn;
}

} // namespace quillmer
