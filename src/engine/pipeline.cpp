#include "engine/pipeline.h"

#include "engine/printstep.h"
#include "engine/steprunner.h"
#include "errors/trap.h"
#include "platform/atomicfile.h"
#include "printqueue/ghostscriptcommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace quillmer {

namespace {

bool fileExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

// Forced deletion: a file (or a link) at path is removed, whatever its
// permissions; one that stays is an error.
void deleteFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() && !info.isSymLink())
        return;
    if (!QFile::remove(path))
        throw AppError(err::PermissionDenied,
                       QStringLiteral("Permission denied: '%1' cannot be deleted")
                           .arg(QDir::toNativeSeparators(path)));
}

bool isOldWindows(const QString& versionName)
{
    return versionName == QLatin1String("95") || versionName == QLatin1String("98") ||
           versionName == QLatin1String("ME") || versionName == QLatin1String("4.0");
}

} // namespace

// The working values of one call.
struct ConversionEngine::Call
{
    QString source;
    QString target;
    qint16 row = 0;
    qint16 sheetNumber = 1;

    QString gsPath;
    QString versionName;
    QString wantedPrinter;
    bool printerFound = false;
    QString savedActivePrinter;
    bool setPdfWrite = true;
    bool firstPassResult = false;

    std::shared_ptr<office::Workbook> workbook;
    std::unique_ptr<office::Worksheet> sheet;
    std::optional<ScratchFolder::Lock> lock; // from step 6 to the return

    office::Workbook& book() const
    {
        if (!workbook)
            throw AppError(err::ObjectNotSet);
        return *workbook;
    }
    office::Worksheet& worksheet() const
    {
        if (!sheet)
            throw AppError(err::ObjectNotSet);
        return *sheet;
    }
};

ConversionEngine::ConversionEngine(const PipelineContext& context)
    : m_context(context), m_ghostscript(context.runner, context.ghostscriptAnswers)
{
}

ConversionEngine::~ConversionEngine() = default;

QString ConversionEngine::missingPrinterMessage(const QString& versionName)
{
    return QStringLiteral("Please install 'HP Color LaserJet 5/5M PS' ") +
           (versionName == QLatin1String("98")
                ? QStringLiteral("printer driver with all default name from Windows CD.")
                : QStringLiteral("printer driver with default name from Windows CD."));
}

office::SpreadsheetHost& ConversionEngine::liveHost() const
{
    if (!m_host)
        throw AppError(err::ObjectNotSet);
    return *m_host;
}

bool ConversionEngine::trap(const AppError& error, Call& call)
{
    call.sheet.reset();
    call.workbook.reset();
    m_context.jobs.UpdateListViewStatus(call.row, JobStatus::Failed);
    if (error.number() == err::CannotCreateObject) {
        m_host = m_context.hosts.create();
        return true;
    }
    liveHost().Quit();
    m_host.reset();
    Trap(m_context.errors, TrapLabel).report(error); // the answer is not used: the call ends
    return false;
}

void ConversionEngine::ConversionPipeline(const QString& sourcePath, const QString& targetPath,
                                          qint16 row, qint16 sheetNumber)
{
    Call call;
    call.source = sourcePath;
    call.target = targetPath;
    call.row = row;
    call.sheetNumber = sheetNumber;
    const ScratchFolder& scratch = m_context.scratch;
    const auto failed = [&] {
        deleteFile(scratch.pdfTempFile());
        m_context.jobs.UpdateListViewStatus(call.row, JobStatus::Failed);
        m_context.messages.show(failedMessage(), MessageIcon::Critical);
        return StepFlow::goTo(20);
    };

    const std::vector<NumberedStep> steps = {
        {1,
         [&] {
             call.gsPath = m_context.registry.ghostscriptPath();
             return StepFlow::next();
         }},
        {2,
         [&] {
             if (fileExists(call.gsPath))
                 return StepFlow::next();
             m_context.messages.show(missingConverterMessage(), MessageIcon::Critical);
             m_context.ender.EndProgram();
             return StepFlow::leave();
         }},
        {3,
         [&] {
             m_host = m_context.hosts.create();
             return StepFlow::next();
         }},
        {4,
         [&] {
             call.workbook = liveHost().WorkbooksOpen(call.source);
             return StepFlow::next();
         }},
        {5,
         [&] {
             call.sheet = call.book().Sheets(call.sheetNumber);
             return StepFlow::next();
         }},
        {6,
         [&] {
             scratch.ensure();
             call.lock = scratch.lock();
             // Files of an earlier conversion must never pass for this one's.
             deleteFile(scratch.psFile());
             deleteFile(scratch.pdfFile());
             deleteFile(scratch.pdfTempFile());
             return StepFlow::next();
         }},
        {7,
         [&] {
             call.versionName = GetWindowsVersionName(m_context.version, m_context.errors);
             return StepFlow::next();
         }},
        {8,
         [&] {
             call.wantedPrinter =
                 isOldWindows(call.versionName) ? OldWindowsPrinter : PdfPrinterQueue;
             const QStringList printers = m_context.printers.deviceNames();
             call.printerFound = printers.contains(call.wantedPrinter, Qt::CaseSensitive);
             return StepFlow::next();
         }},
        {9,
         [&] {
             if (call.printerFound || !isOldWindows(call.versionName))
                 return StepFlow::next();
             m_context.messages.show(missingPrinterMessage(call.versionName), MessageIcon::None);
             // The status stays as it is; the workbook and the host are
             // still ended.
             return StepFlow::goTo(20);
         }},
        {10,
         [&] {
             call.savedActivePrinter = liveHost().ActivePrinter();
             return StepFlow::next();
         }},
        {11,
         [&] {
             WritePageSetup(call.worksheet(), m_context.options);
             return StepFlow::next();
         }},
        {12,
         [&] {
             // The whole workbook, whatever the page range (see printstep.h).
             PrintActiveWorkbook(liveHost(), scratch.path());
             return StepFlow::next();
         }},
        {13,
         [&] {
             liveHost().setActivePrinter(call.savedActivePrinter);
             return StepFlow::next();
         }},
        {14,
         [&] {
             call.setPdfWrite = m_ghostscript.definesSetPdfWrite(call.gsPath);
             const bool allPages = m_context.options.currentOptions().allPages;
             call.firstPassResult = m_ghostscript.run(
                 GhostscriptRuns::firstRunCommand(call.gsPath, scratch.path(), allPages,
                                                  call.setPdfWrite),
                 scratch.path(), allPages ? scratch.pdfFile() : scratch.pdfTempFile());
             return StepFlow::next();
         }},
        {15, [&] { return call.firstPassResult ? StepFlow::next() : failed(); }},
        {16,
         [&] {
             const ConversionOptions options = m_context.options.currentOptions();
             if (options.allPages)
                 return StepFlow::next();
             m_ghostscript.run(
                 GhostscriptRuns::secondRunCommand(call.gsPath, scratch.path(), options.firstPage,
                                                   options.lastPage, call.setPdfWrite),
                 scratch.path(), scratch.pdfFile());
             // Ghostscript writes a blank page for a range without pages.
             if (m_ghostscript.rangeIsEmpty(call.gsPath, scratch.pdfTempFile(), scratch.path(),
                                            options.firstPage, options.lastPage))
                 deleteFile(scratch.pdfFile());
             return StepFlow::next();
         }},
        {17, [&] { return fileExists(scratch.pdfFile()) ? StepFlow::next() : failed(); }},
        {18,
         [&] {
             deleteFile(scratch.pdfTempFile());
             platform::copyFileAtomically(scratch.pdfFile(), call.target);
             m_context.jobs.UpdateListViewStatus(call.row, JobStatus::Completed);
             m_context.messages.show(successMessage(m_context.jobs.rowText(call.row)),
                                     MessageIcon::Information);
             return StepFlow::next();
         }},
        {19,
         [&] {
             if (m_context.options.currentOptions().openAfterConversion == 1)
                 m_context.shell.ShellOpen(call.target);
             return StepFlow::next();
         }},
        {20,
         [&] {
             call.book().Close();
             call.sheet.reset();
             call.workbook.reset();
             liveHost().Quit();
             m_host.reset();
             return StepFlow::leave();
         }},
    };

    RunNumberedSteps(steps, [&](const AppError& error) {
        bool resume = false;
        if (const auto inTrap = captureError([&] { resume = trap(error, call); })) {
            // The caller gets the trap's own error; the host ends here.
            m_host.reset();
            throw *inTrap;
        }
        return resume;
    });
}

} // namespace quillmer
