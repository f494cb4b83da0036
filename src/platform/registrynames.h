#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quillmer::platform {

class RegistryFile;
struct RegistryValue;

// The names the program reads from its registry, each spelled here once. All
// keys are under HKEY_LOCAL_MACHINE. The build's program folder and the
// installed program get files with the same names (cmake/RegistryText.cmake).
namespace regname {
// The registry file in the program folder.
inline const QString FileName = QStringLiteral("registry.reg");

// The Ghostscript executable.
inline const QString GhostscriptKey = QStringLiteral("SOFTWARE\\GS");
inline const QString GhostscriptPath = QStringLiteral("GSPath");

// The spreadsheet versions whose install root is looked up, oldest first.
inline const QStringList SpreadsheetVersions = {
    QStringLiteral("9.0"),  // Excel 2000
    QStringLiteral("10.0"), // Excel XP
    QStringLiteral("11.0"), // Excel 2003
    QStringLiteral("12.0"), // Excel 2007
};
inline QString installRootKey(const QString& version)
{
    return QStringLiteral("SOFTWARE\\Microsoft\\Office\\%1\\Excel\\InstallRoot").arg(version);
}
// The install root's program folder.
inline const QString InstallRootPath = QStringLiteral("Path");

// The printer queues: one subkey per device name.
inline const QString PrintersKey =
    QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers");
} // namespace regname

// The registry file of a program folder.
inline QString registryFileIn(const QString& programFolder)
{
    return programFolder + QLatin1Char('/') + regname::FileName;
}

// A text value as the ANSI query functions hand it out: REG_SZ as stored,
// REG_EXPAND_SZ with its %NAME%s expanded, each ending with its terminating
// NUL; nothing for the other types.
std::optional<QString> registryText(const RegistryValue& value);

// The Ghostscript executable the registry names: the text of GSPath with its
// NUL characters removed; "" when it is absent or not text.
QString ghostscriptPath(const RegistryFile& registry);

} // namespace quillmer::platform
