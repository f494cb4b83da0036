#include "errors/apperror.h"

#include <utility>

namespace quillmer {

AppError::AppError(qint32 number, QString description)
    : m_number(number), m_description(std::move(description)),
      m_what(QStringLiteral("%1: %2").arg(number).arg(m_description).toStdString())
{
}

AppError::AppError(qint32 number) : AppError(number, standardDescription(number)) {}

QString AppError::standardDescription(qint32 number)
{
    switch (number) {
    case err::InvalidCall: return QStringLiteral("Invalid procedure call or argument");
    case err::Overflow: return QStringLiteral("Overflow");
    case err::OutOfMemory: return QStringLiteral("Out of memory");
    case err::SubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case err::TypeMismatch: return QStringLiteral("Type mismatch");
    case err::FileNotFound: return QStringLiteral("File not found");
    case err::FileAlreadyOpen: return QStringLiteral("File already open");
    case err::DiskFull: return QStringLiteral("Disk full");
    case err::PermissionDenied: return QStringLiteral("Permission denied");
    case err::PathFileAccess: return QStringLiteral("Path/File access error");
    case err::PathNotFound: return QStringLiteral("Path not found");
    case err::ObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case err::InvalidPropertyValue: return QStringLiteral("Invalid property value");
    case err::CannotCreateObject: return QStringLiteral("ActiveX component can't create object");
    case err::Cancel: return QStringLiteral("Cancel was selected.");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

} // namespace quillmer
