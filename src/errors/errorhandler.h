#pragma once

#include "errors/services.h"

#include <QString>

namespace quillmer {

// The one place every trapping procedure reports a failure to. It ends any
// busy pointer, shows a message for two kinds of failure and answers whether
// the caller may go on (true) or must leave (false). It keeps nothing between
// calls and never fails itself. An owner that also keeps the failures (the
// batch converter's report) derives from it.
class ErrorHandler
{
public:
    ErrorHandler(MessageBoxService& messages, PointerService& pointer);
    virtual ~ErrorHandler() = default;

    virtual bool HandleError(qint32 number, const QString& description, const QString& label);

    static QString overflowMessage();
    static QString databaseMessage(const QString& description);

private:
    MessageBoxService& m_messages;
    PointerService& m_pointer;
};

} // namespace quillmer
