#pragma once

#include "engine/commandrunner.h"
#include "engine/scratchfolder.h"
#include "platform/libreofficehost.h"
#include "platform/printers.h"
#include "settings/probes.h"
#include "settings/registry.h"

#include <QString>

namespace quillmer {

// What a conversion drives on this machine: the spreadsheet hosts, the
// printers, the command runner, the registry with GSPath, the Windows
// version and the scratch folder.
struct ConversionServices
{
    platform::SpreadsheetHostFactory& hosts;
    const platform::InstalledPrinters& printers;
    CommandRunner& runner;
    const Registry& registry;
    VersionSource& version;
    const ScratchFolder& scratch;
};

// The real ones, as the program folder's registry.reg names them: a private
// LibreOffice per conversion, the registry's printers, posix_spawn, no
// Windows version, and the scratch folder under cacheFolder.
class InstalledConversionServices
{
public:
    explicit InstalledConversionServices(
        const QString& registryPath, const QString& cacheFolder = ScratchFolder::userCacheFolder())
        : m_hosts(registryPath), m_printers(registryPath), m_registry(registryPath),
          m_scratch(cacheFolder)
    {
    }

    ConversionServices services()
    {
        return {m_hosts, m_printers, m_runner, m_registry, m_version, m_scratch};
    }
    const ScratchFolder& scratch() const { return m_scratch; }

private:
    platform::LibreOfficeHostFactory m_hosts;
    platform::RegistryPrinters m_printers;
    ProcessCommandRunner m_runner;
    Registry m_registry;
    NoWindowsVersion m_version;
    ScratchFolder m_scratch;
};

} // namespace quillmer
