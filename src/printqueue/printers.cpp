#include "printqueue/printers.h"

#include "errors/apperror.h"
#include "platform/failure.h"
#include "platform/registryfile.h"
#include "platform/registrynames.h"
#include "printqueue/ghostscriptcommand.h"
#include "printqueue/postscriptsetup.h"
#include "printqueue/printerdriver.h"
#include "printqueue/queue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillmer::printqueue {

namespace {

AppError printFailure(const QString& why)
{
    return AppError(err::ObjectDefined,
                    QStringLiteral("PrintOut method of Workbook class failed: %1").arg(why));
}

} // namespace

RegistryPrinters::RegistryPrinters(QString registryPath) : m_registryPath(std::move(registryPath))
{
}

RegistryPrinters::~RegistryPrinters() = default;

const char* RegistryPrinters::readerSetup()
{
    return postscript::readerSetup();
}

void RegistryPrinters::prepare()
{
    const QString gs = platform::ghostscriptPath(platform::RegistryFile::load(m_registryPath));
    std::lock_guard lock(m_mutex);
    if (gs.isEmpty() || (m_ready && m_ready->program() == gs && m_ready->waiting()))
        return;
    try {
        m_ready = startDriver(gs, {});
    } catch (const platform::Failure&) {
        // Never fails: the print starts the driver that did not start here.
        m_ready.reset();
    }
}

QStringList RegistryPrinters::deviceNames() const
{
    return platform::RegistryFile::load(m_registryPath)
        .subkeyNames(platform::hkey::LocalMachine, platform::regname::PrintersKey);
}

void RegistryPrinters::printToFile(const QString& deviceName, const QString& spoolPdf,
                                   const QString& outputFile, std::chrono::milliseconds timeLimit)
{
    PrintJob job{spoolPdf,
                 spoolPdf + QStringLiteral(".text.pdf"),
                 spoolPdf + QStringLiteral(".flat.pdf"),
                 // Written beside the target and renamed, so the file named
                 // is either complete or absent.
                 outputFile + QStringLiteral(".part"),
                 {},
                 timeLimit,
                 QDeadlineTimer(timeLimit),
                 {}};
    // The spool and its rewrites go, whatever the outcome.
    struct RemoveFiles
    {
        const PrintJob& job;
        ~RemoveFiles()
        {
            for (const QString& file : {job.spool, job.marked, job.flattened})
                QFile::remove(file);
        }
    } removeFiles{job};
    // A print to a file replaces it: an earlier print never passes for this one.
    QFile::remove(outputFile);
    QFile::remove(job.output);
    const platform::RegistryFile registry = platform::RegistryFile::load(m_registryPath);
    if (!registry.subkeyNames(platform::hkey::LocalMachine, platform::regname::PrintersKey)
             .contains(deviceName))
        throw AppError(err::ObjectDefined,
                       QStringLiteral("The printer '%1' is not installed.").arg(deviceName));
    job.ghostscript = platform::ghostscriptPath(registry);
    if (job.ghostscript.isEmpty())
        throw printFailure(QStringLiteral("the printer driver (Ghostscript) is not registered"));
    job.readyDriver = [&](const ghostscript::SpoolReading& reading) {
        std::lock_guard lock(m_mutex);
        std::unique_ptr<PrinterDriver> ready = std::move(m_ready);
        if (ready && ready->program() == job.ghostscript && ready->reading() == reading &&
            ready->waiting())
            return ready;
        return std::unique_ptr<PrinterDriver>();
    };
    // The automation call's one failure: what the queue could not do.
    try {
        printSpool(job);
    } catch (const platform::Failure& failure) {
        QFile::remove(job.output);
        throw printFailure(job.deadline.hasExpired()
                               ? QStringLiteral("the printer did not finish within %1 seconds")
                                     .arg(timeLimit.count() / 1000)
                               : failure.message());
    }
    if (!QFile::rename(job.output, outputFile)) {
        QFile::remove(job.output);
        throw printFailure(
            QStringLiteral("cannot write %1").arg(QDir::toNativeSeparators(outputFile)));
    }
}

} // namespace quillmer::printqueue
