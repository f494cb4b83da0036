#pragma once

#include <QString>
#include <exception>

namespace quillmer::platform {

// A failure of the office host, the printer queue or the platform below
// them, in words for the job's report. It travels as an exception, the only
// way failures travel below the automation calls; the host turns it into
// the automation error the caller sees (AppError) where a call returns.
class Failure : public std::exception
{
public:
    explicit Failure(QString message) : m_message(std::move(message)), m_what(m_message.toUtf8())
    {
    }
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

} // namespace quillmer::platform
