#include "engine/ghostscript.h"

#include <QFile>
#include <QFileInfo>

namespace quillmer {

namespace {

const QChar Quote = u'"';

// " -c .setpdfwrite -f ", or its replacement for a Ghostscript without it.
QString setPdfWriteOperand(bool setPdfWrite)
{
    return setPdfWrite ? QStringLiteral(" -dCompatibilityLevel=1.4 -c .setpdfwrite -f ")
                       : QStringLiteral(" -dCompatibilityLevel=1.4 -c 3000000 setvmthreshold -f ");
}

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
    return gsPath + QStringLiteral(" -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=") +
           Quote + scratch + output + Quote + setPdfWriteOperand(setPdfWrite) + Quote + scratch +
           QStringLiteral("/PsFile.ps") + Quote;
}

QString GhostscriptRuns::secondRunCommand(const QString& gsPath, const QString& scratch,
                                          const QString& firstPage, const QString& lastPage,
                                          bool setPdfWrite)
{
    // The numeric test passes white space around a number; in the command
    // it would split the option and hand Ghostscript the number as a file.
    return gsPath + QStringLiteral(" -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -dFirstPage=") +
           firstPage.trimmed() + QStringLiteral(" -dLastPage=") + lastPage.trimmed() +
           QStringLiteral(" -sOutputFile=") + Quote + scratch + QStringLiteral("/PdfFile.pdf") +
           Quote + setPdfWriteOperand(setPdfWrite) + Quote + scratch +
           QStringLiteral("/PdfFiletemp.pdf") + Quote;
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
    const auto exitCode =
        ask(gsPath + QStringLiteral(" -q -dSAFER -dNODISPLAY -dNOPAUSE -dBATCH -c "
                                    "\"/.setpdfwrite where { pop } { .setpdfwrite } ifelse\""),
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
    if (!m_runner.lastOutcome().succeeded())
        QFile::remove(outputFile);
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
    const auto exitCode = ask(
        gsPath + QStringLiteral(" -q -dSAFER -dNODISPLAY -dNOPAUSE -dBATCH \"--permit-file-read=") +
            pdf + QStringLiteral("\" \"-sQuillmerPdf=") + pdf +
            QStringLiteral("\" -c \"QuillmerPdf (r) file runpdfbegin pdfpagecount %1 lt "
                           "{ null 1 .quit } if\"")
                .arg(from),
        scratch);
    return exitCode && *exitCode != 0;
}

} // namespace quillmer
