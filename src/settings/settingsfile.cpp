#include "settings/settingsfile.h"

#include "errors/trap.h"
#include "platform/profilefile.h"

#include <QFileInfo>

#include <utility>

namespace quillmer {

namespace {
constexpr int ProfileBufferSize = 255; // at most 254 characters and a NUL
}

SettingsFile::SettingsFile(QString programFolder, MessageBoxService& messages,
                           ErrorHandler& errors)
    : m_programFolder(std::move(programFolder)), m_messages(messages), m_errors(errors)
{
}

bool SettingsFile::CheckSettingsFile()
{
    Trap trap(m_errors, QStringLiteral("ModMain : OpenDatabase"));
    if (!trap.step([&] { m_settingsFilePath = m_programFolder + QStringLiteral("/SETTINGS.INI"); }))
        return false;
    bool present = false;
    // A regular file only: a folder, a FIFO or a dangling link is absent.
    if (!trap.step([&] { present = QFileInfo(m_settingsFilePath).isFile(); }))
        return false;
    if (present)
        return true;
    m_messages.show(missingMessage(), MessageIcon::Critical);
    return false;
}

bool SettingsFile::ReadIniValue(const QString& section, const QString& key)
{
    m_lastIniValue.clear();
    const auto failure = captureError([&] {
        const QString value = platform::ProfileFile::readString(
            m_settingsFilePath, section, key, QString(), ProfileBufferSize);
        // Blanks are trimmed; tabs and other characters stay.
        qsizetype begin = 0, end = value.size();
        while (begin < end && value[begin] == QLatin1Char(' '))
            ++begin;
        while (end > begin && value[end - 1] == QLatin1Char(' '))
            --end;
        m_lastIniValue = value.mid(begin, end - begin);
    });
    if (failure)
        m_lastIniValue.clear();
    return !m_lastIniValue.isEmpty();
}

bool SettingsFile::WriteIniValue(const QString& section, const QString& key, const QString& value)
{
    return platform::ProfileFile::writeString(m_settingsFilePath, section, key, value);
}

} // namespace quillmer
