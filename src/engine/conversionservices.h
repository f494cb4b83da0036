#pragma once

#include "engine/commandrunner.h"
#include "engine/ghostscript.h"
#include "engine/scratchfolder.h"
#include "office/spareoffice.h"
#include "printqueue/printers.h"
#include "settings/probes.h"
#include "settings/registry.h"

#include <QFileInfo>
#include <QString>

namespace quillmer {

// What a conversion drives on this machine: the spreadsheet hosts, the
// printers, the command runner, the registry with GSPath, the Windows
// version and the scratch folder.
struct ConversionServices
{
    office::SpreadsheetHostFactory& hosts;
    const printqueue::InstalledPrinters& printers;
    CommandRunner& runner;
    const Registry& registry;
    VersionSource& version;
    const ScratchFolder& scratch;
    GhostscriptAnswers* ghostscriptAnswers = nullptr; // none: each engine asks for itself
};

// The real ones, as the program folder's registry.reg names them: a private
// LibreOffice per conversion, started ahead as a spare, the registry's
// printers, posix_spawn, no Windows version, the scratch folder under
// cacheFolder, and Ghostscript's answers, asked ahead.
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
        return {m_hosts, m_printers, m_runner, m_registry, m_version, m_scratch, &m_answers};
    }
    const ScratchFolder& scratch() const { return m_scratch; }

    // Starts the first conversion's office, and asks Ghostscript what the
    // first conversion would ask it, in the background.
    void prepare()
    {
        m_hosts.prepare();
        const QString gs = m_registry.ghostscriptPath();
        if (QFileInfo(gs).isFile())
            m_answers.askAhead(m_questionRunner, gs);
    }
    // Ends the office kept ready, for a program about to end.
    void endOffices() noexcept { m_hosts.end(); }
    office::SpareOfficeHosts& hosts() { return m_hosts; }

private:
    office::SpareOfficeHosts m_hosts;
    printqueue::RegistryPrinters m_printers;
    ProcessCommandRunner m_runner;
    ProcessCommandRunner m_questionRunner; // the question asked ahead has one of its own
    Registry m_registry;
    NoWindowsVersion m_version;
    ScratchFolder m_scratch;
    GhostscriptAnswers m_answers; // last: a question under way ends first
};

} // namespace quillmer
