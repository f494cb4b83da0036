#include "app/startup.h"

#include "settings/probes.h"

namespace quillmer::app {

QString excelMissingMessage()
{
    return QStringLiteral("Microsoft Excel is not installed or corrupted. Please install "
                          "Microsoft Excel 2000 or higher version.");
}

bool PassStartupChecks(SettingsFile& settings, const Registry& registry,
                       MessageBoxService& messages)
{
    if (!settings.CheckSettingsFile())
        return false;
    if (CheckExcelInstalled(registry) == 0) {
        messages.show(excelMissingMessage(), MessageIcon::Critical);
        return false;
    }
    return true;
}

} // namespace quillmer::app
