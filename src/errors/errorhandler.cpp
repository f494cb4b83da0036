#include "errors/errorhandler.h"

namespace quillmer {

namespace {

enum class Show { Nothing, Overflow, Database };

struct Decision
{
    Show show;
    bool goOn;
};

Decision decide(qint32 number)
{
    switch (number) {
    case 6: return {Show::Overflow, false};
    case 91:
    case 3704:
    case 35773:
    case -2147217900: // 0x80040E14
        return {Show::Nothing, false};
    case -2147467259: // 0x80004005
    case -2147217885: // 0x80040E23
    case -2147217865: // 0x80040E37
        return {Show::Database, false};
    default:
        // 11, 13, 94, 380, 3265, 0x80020005 and every number not listed.
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
    try {
        m_pointer.setDefault();
    } catch (...) {
    }
    const Decision decision = decide(number);
    try {
        if (decision.show == Show::Overflow)
            m_messages.show(overflowMessage(), MessageIcon::Critical);
        else if (decision.show == Show::Database)
            m_messages.show(databaseMessage(description), MessageIcon::Critical);
    } catch (...) {
    }
    return decision.goOn;
}

} // namespace quillmer
