#pragma once

#include "engine/commandrunner.h"
#include "engine/scratchfolder.h"
#include "platform/printers.h"
#include "platform/spareoffice.h"
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
// LibreOffice per conversion, started ahead as a spare, the registry's
// printers, posix_spawn, no Windows version, and the scratch folder under
// cacheFolder.
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

    // Starts the first conversion's office in the background.
    void prepareOffice() { m_hosts.prepare(); }
    // Ends the office kept ready, for a program about to end.
    void endOffices() noexcept { m_hosts.end(); }
    platform::SpareOfficeHosts& hosts() { return m_hosts; }

private:
    platform::SpareOfficeHosts m_hosts;
    platform::RegistryPrinters m_printers;
    ProcessCommandRunner m_runner;
    Registry m_registry;
    NoWindowsVersion m_version;
    ScratchFolder m_scratch;
};

} // namespace quillmer
