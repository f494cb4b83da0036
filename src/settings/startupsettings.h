#pragma once

#include "settings/settingsfile.h"

#include <QString>

namespace quillmer {

// The values the program remembers between runs, loaded once at start-up
// and then read and assigned by the main window's handlers.
struct StartupSettings
{
    QString RecentFolder;       // where the open dialog starts; PATH
    QString RecentOutputFolder; // where the save dialog starts; OUTPUTPATH
    qint16 Launch = 1;          // open the PDF afterwards; OPENFILE, never written back
    qint16 ConvertPageFrom = 0; // 0: all pages, otherwise a page range
    QString PageRange = QStringLiteral("1");
};

// Fills the settings from SETTINGS.INI with their fallbacks: a stored path
// that no longer names a file or folder gives the program folder; OPENFILE
// is a number rounded to a 16-bit whole number (halves to even), and one
// that is absent, no number or out of range gives 1.
StartupSettings LoadStartupSettings(SettingsFile& settings, const QString& programFolder);

} // namespace quillmer
