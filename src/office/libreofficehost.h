#pragma once

#include "office/spreadsheethost.h"
#include "platform/registryfile.h"
#include "printqueue/printers.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <sys/types.h>

namespace quillmer::office {

class OfficeInstance;

// The spreadsheet application on LibreOffice Calc, driven over C++ UNO.
//
// Each host is its own soffice process (headless, listening on a pipe of its
// own, with a private profile folder that is removed when it ends), in its
// own process group. The process is ended by Quit or the destructor, killed
// when a call overruns the time limit, and killed by the kernel when the
// thread that started it ends (so a crash of the program never leaves it
// behind).
//
// Workbooks open hidden, read-only and without any interaction, so a
// workbook that needs a password fails instead of asking, and the source file
// is never written. PrintOut exports the workbook as a PDF spool and hands it
// to the printer queue, which writes the PostScript file.
class LibreOfficeHost final : public SpreadsheetHost
{
public:
    static constexpr std::chrono::milliseconds DefaultTimeLimit{120000};

    // Starts an instance of the office in programFolder (the folder of
    // soffice.bin, with or without a trailing slash). printers is the list of
    // installed printers and the queue that prints. timeLimit bounds start-up
    // and every call. Throws AppError 429 when the instance cannot be
    // started or connected within the limit.
    LibreOfficeHost(const QString& programFolder,
                    std::shared_ptr<printqueue::InstalledPrinters> printers,
                    std::chrono::milliseconds timeLimit = DefaultTimeLimit);
    // A host on an instance started before (see SpareOfficeHosts). When
    // keep is given and answers true at Quit, the instance is left running
    // for a later host (see ReusedOfficeHosts) instead of being ended.
    // ended, when given, is called once the instance has been ended.
    explicit LibreOfficeHost(std::shared_ptr<OfficeInstance> instance,
                             std::function<bool()> keep = {}, std::function<void()> ended = {});
    ~LibreOfficeHost() override;

    std::shared_ptr<Workbook> WorkbooksOpen(const QString& path) override;
    std::shared_ptr<Workbook> WorkbooksOpen(const QString& path,
                                            const OptionalArg& password) override;
    std::shared_ptr<Workbook> ActiveWorkbook() override;
    QString ActivePrinter() const override;
    void setActivePrinter(const QString& deviceName) override;
    void Quit() override;

    // The time limit of the calls from now on.
    void setTimeLimit(std::chrono::milliseconds limit);
    // The soffice process, 0 once it has ended.
    pid_t processId() const;
    // The private profile folder of this instance.
    QString profileFolder() const;

    // The office program folder the registry names: the "Path" of the newest
    // supported spreadsheet version's install root, "" when none is set.
    static QString programFolderFromRegistry(const platform::RegistryFile& registry);

private:
    std::shared_ptr<OfficeInstance> m_instance;
    std::function<bool()> m_keep;
    std::function<void()> m_ended;
    bool m_released = false;
};

// Makes LibreOfficeHost instances from what registry.reg names: the office's
// install root and the printers. Each create() starts an office and waits
// for it.
class LibreOfficeHostFactory : public SpreadsheetHostFactory
{
public:
    explicit LibreOfficeHostFactory(QString registryPath, std::chrono::milliseconds timeLimit =
                                                              LibreOfficeHost::DefaultTimeLimit);
    std::unique_ptr<SpreadsheetHost> create() override;

    // A started office, as create() starts it. Error 429 when it cannot be.
    std::shared_ptr<OfficeInstance> startInstance() const;

private:
    QString m_registryPath;
    std::chrono::milliseconds m_timeLimit;
};

} // namespace quillmer::office
