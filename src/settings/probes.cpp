#include "settings/probes.h"

#include "errors/trap.h"
#include "platform/registrynames.h"

namespace quillmer {

qint16 CheckExcelInstalled(const Registry& registry)
{
    for (const QString& version : platform::regname::SpreadsheetVersions) {
        const QVariant path = registry.ReadRegistryValue(platform::hkey::LocalMachine,
                                                         platform::regname::installRootKey(version),
                                                         platform::regname::InstallRootPath);
        if (!path.toString().isEmpty())
            return 1;
    }
    return 0;
}

QString windowsVersionName(const VersionRecord& r)
{
    if (r.platformId == 1) { // Windows 9x
        switch (r.minor) {
        case 0: return QStringLiteral("95");
        case 10: return QStringLiteral("98");
        case 90: return QStringLiteral("ME");
        default: return QString();
        }
    }
    if (r.platformId == 2) { // Windows NT
        if (r.major == 3)
            return QStringLiteral("3.51");
        if (r.major == 4)
            return QStringLiteral("4.0");
        if (r.major == 5 && r.minor == 0)
            return QStringLiteral("2000");
        if (r.major == 5 && r.minor == 1)
            return QStringLiteral("WinXP/.NET Server");
        return QString();
    }
    return QStringLiteral("Failed");
}

QString GetWindowsVersionName(VersionSource& source, ErrorHandler& errors)
{
    QString name;
    Trap trap(errors, QStringLiteral("modSettings : Main()"));
    trap.stepAlways([&] {
        if (const auto record = source.query())
            name = windowsVersionName(*record);
    });
    return name;
}

} // namespace quillmer
