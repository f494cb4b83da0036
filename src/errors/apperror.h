#pragma once

#include <QString>

#include <exception>
#include <string>

namespace quillmer {

// Run-time error numbers the program raises or tests for.
namespace err {
inline constexpr qint32 InvalidCall = 5;
inline constexpr qint32 Overflow = 6;
inline constexpr qint32 OutOfMemory = 7;
inline constexpr qint32 SubscriptOutOfRange = 9;
inline constexpr qint32 DivisionByZero = 11;
inline constexpr qint32 TypeMismatch = 13;
inline constexpr qint32 FileNotFound = 53;
inline constexpr qint32 FileAlreadyOpen = 55;
inline constexpr qint32 DiskFull = 61;
inline constexpr qint32 PermissionDenied = 70;
inline constexpr qint32 PathFileAccess = 75;
inline constexpr qint32 PathNotFound = 76;
inline constexpr qint32 ObjectNotSet = 91;
inline constexpr qint32 InvalidUseOfNull = 94;
inline constexpr qint32 InvalidPropertyValue = 380;
inline constexpr qint32 CannotCreateObject = 429;
inline constexpr qint32 ObjectDefined = 1004;
inline constexpr qint32 Cancel = 32755;
} // namespace err

// One failure: its number and its description. Every trapping procedure
// passes these two to HandleError; lower layers throw them.
class AppError : public std::exception
{
public:
    AppError(qint32 number, QString description);
    // The error with the usual description of its number.
    explicit AppError(qint32 number);

    qint32 number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

    // The usual description of a run-time error number, or "Application-defined
    // or object-defined error" for a number without one.
    static QString standardDescription(qint32 number);

private:
    qint32 m_number;
    QString m_description;
    std::string m_what;
};

} // namespace quillmer
