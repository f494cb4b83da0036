#pragma once

#include "errors/errorhandler.h"
#include "errors/services.h"

#include <QString>

namespace quillmer {

// SETTINGS.INI beside the executable: the presence check and one-key reads
// and writes.
class SettingsFile
{
public:
    SettingsFile(QString programFolder, MessageBoxService& messages, ErrorHandler& errors);

    // Sets SettingsFilePath and tells whether the file is there. A missing
    // file (or a folder, a FIFO, a dangling link in its place) shows
    // "Initialization file is missing." and gives false.
    bool CheckSettingsFile();
    // True when the key has a non-empty value, which is then in LastIniValue
    // (at most 254 bytes). Never fails: any failure reads as false.
    bool ReadIniValue(const QString& section, const QString& key);
    // True when the file was replaced with the new value. A failed write
    // leaves the old file as it was.
    bool WriteIniValue(const QString& section, const QString& key, const QString& value);

    const QString& SettingsFilePath() const { return m_settingsFilePath; }
    const QString& LastIniValue() const { return m_lastIniValue; }

    static QString missingMessage() { return QStringLiteral("Initialization file is missing."); }

private:
    QString m_programFolder;
    MessageBoxService& m_messages;
    ErrorHandler& m_errors;
    QString m_settingsFilePath;
    QString m_lastIniValue;
};

} // namespace quillmer
