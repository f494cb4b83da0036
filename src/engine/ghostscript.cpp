#include "engine/ghostscript.h"

#include "platform/ghostscriptcommand.h"

#include <QFileInfo>

namespace quillmer {

namespace gs = platform::ghostscript;

namespace {

// The wait, window state and creation flags of every Ghostscript run: no
// time limit, hidden, high priority.
constexpr qint32 NoTimeLimit = -1;
constexpr qint32 HighPriority = 128;

} // namespace

GhostscriptRuns::GhostscriptRuns(CommandRunner& runner) : m_runner(runner) {}

QString GhostscriptRuns::firstRunCommand(const QString& gsPath, const QString& scratch,
                                         bool allPages, bool setPdfWrite)
{
    const QString output =
        allPages ? QStringLiteral("/PdfFile.pdf") : QStringLiteral("/PdfFiletemp.pdf");
    return gs::pdfwriteCommand(gsPath, scratch + QStringLiteral("/PsFile.ps"), scratch + output,
                               std::nullopt, setPdfWrite);
}

QString GhostscriptRuns::secondRunCommand(const QString& gsPath, const QString& scratch,
                                          const QString& firstPage, const QString& lastPage,
                                          bool setPdfWrite)
{
    return gs::pdfwriteCommand(gsPath, scratch + QStringLiteral("/PdfFiletemp.pdf"),
                               scratch + QStringLiteral("/PdfFile.pdf"),
                               gs::PageTexts{firstPage, lastPage}, setPdfWrite);
}

std::optional<int> GhostscriptRuns::ask(const QString& commandLine, const QString& workingFolder)
{
    qint32 wait = NoTimeLimit;
    if (!m_runner.RunCommandAndWait(commandLine, workingFolder, wait, HiddenWindow, HighPriority))
        return std::nullopt;
    const CommandOutcome outcome = m_runner.lastOutcome();
    if (!outcome.ended || !outcome.exitCode)
        return std::nullopt;
    return *outcome.exitCode;
}

bool GhostscriptRuns::definesSetPdfWrite(const QString& gsPath)
{
    const QFileInfo file(gsPath);
    const QString key = file.canonicalFilePath().isEmpty() ? gsPath : file.canonicalFilePath();
    const auto known = m_answers.constFind(key);
    if (known != m_answers.constEnd() && known->modified == file.lastModified() &&
        known->size == file.size())
        return known->defines;

    // Executes the operator only when it is not defined, which fails.
    const auto exitCode = ask(
        gs::questionCommand(gsPath, {QStringLiteral("-c"),
                                     gs::quoted(QStringLiteral(
                                         "/.setpdfwrite where { pop } { .setpdfwrite } ifelse"))}),
        QString());
    if (!exitCode)
        return true;
    m_answers.insert(key, Answer{file.lastModified(), file.size(), *exitCode == 0});
    return *exitCode == 0;
}

bool GhostscriptRuns::run(const QString& commandLine, const QString& scratch,
                          const QString& outputFile)
{
    qint32 wait = NoTimeLimit;
    if (!m_runner.RunCommandAndWait(commandLine, scratch, wait, HiddenWindow, HighPriority))
        return false;
    gs::keepOutputOf(m_runner.lastOutcome().succeeded(), outputFile);
    return true;
}

bool GhostscriptRuns::rangeIsEmpty(const QString& gsPath, const QString& pdf,
                                   const QString& scratch, const QString& firstPage,
                                   const QString& lastPage)
{
    bool firstOk = false, lastOk = false;
    const int first = firstPage.toInt(&firstOk);
    const int last = lastPage.toInt(&lastOk);
    if (!firstOk || !lastOk)
        return false;
    // Ghostscript starts a range that begins before page 1 at page 1.
    const int from = qMax(first, 1);
    if (last < from)
        return true;
    // Exits with code 1 when the PDF has fewer pages than "from" (".quit" is
    // how Ghostscript's own start-up ends with a code), or when it cannot be
    // read as a PDF at all.
    const auto exitCode =
        ask(gs::questionCommand(
                gsPath, {gs::quoted(QStringLiteral("--permit-file-read=") + pdf),
                         gs::quoted(QStringLiteral("-sQuillmerPdf=") + pdf), QStringLiteral("-c"),
                         gs::quoted(QStringLiteral("QuillmerPdf (r) file runpdfbegin pdfpagecount "
                                                   "%1 lt { null 1 .quit } if")
                                        .arg(from))}),
            scratch);
    return exitCode && *exitCode != 0;
}

} // namespace quillmer
