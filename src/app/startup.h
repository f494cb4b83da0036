#pragma once

#include "errors/services.h"
#include "settings/registry.h"
#include "settings/settingsfile.h"

namespace quillmer::app {

// The two checks the program makes before anything else. False means the
// program must end: SETTINGS.INI is missing (CheckSettingsFile has said so)
// or no supported spreadsheet application is installed (said here).
bool PassStartupChecks(SettingsFile& settings, const Registry& registry,
                       MessageBoxService& messages);

QString excelMissingMessage();

} // namespace quillmer::app
