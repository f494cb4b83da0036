#include "engine/ghostscript.h"

#include "printqueue/ghostscriptcommand.h"

#include <QFileInfo>

namespace quillmer {

namespace gs = printqueue::ghostscript;

namespace {

// The wait, window state and creation flags of every Ghostscript run: no
// time limit, hidden, high priority.
constexpr qint32 NoTimeLimit = -1;
constexpr qint32 HighPriority = 128;

// Runs an auxiliary question; its exit code, or nothing when it did not
// start or end normally.
std::optional<int> ask(CommandRunner& runner, const QString& commandLine,
                       const QString& workingFolder)
{
    qint32 wait = NoTimeLimit;
    if (!runner.RunCommandAndWait(commandLine, workingFolder, wait, HiddenWindow, HighPriority))
        return std::nullopt;
    const CommandOutcome outcome = runner.lastOutcome();
    if (!outcome.ended || !outcome.exitCode)
        return std::nullopt;
    return *outcome.exitCode;
}

QString answerKey(const QFileInfo& file)
{
    return file.canonicalFilePath().isEmpty() ? file.filePath() : file.canonicalFilePath();
}

} // namespace

GhostscriptAnswers::~GhostscriptAnswers()
{
    if (m_ahead.valid())
        m_ahead.wait();
}

void GhostscriptAnswers::askAhead(CommandRunner& runner, const QString& gsPath)
{
    if (m_ahead.valid())
        m_ahead.wait();
    m_ahead = std::async(std::launch::async, [this, &runner, gsPath] { answer(runner, gsPath); });
}

std::optional<bool> GhostscriptAnswers::remembered(const QString& gsPath)
{
    const QFileInfo file(gsPath);
    std::lock_guard lock(m_mutex);
    const auto known = m_answers.constFind(answerKey(file));
    if (known != m_answers.constEnd() && known->modified == file.lastModified() &&
        known->size == file.size())
        return known->defines;
    return std::nullopt;
}

bool GhostscriptAnswers::definesSetPdfWrite(CommandRunner& runner, const QString& gsPath)
{
    if (m_ahead.valid())
        m_ahead.wait();
    return answer(runner, gsPath);
}

bool GhostscriptAnswers::answer(CommandRunner& runner, const QString& gsPath)
{
    if (const auto known = remembered(gsPath))
        return *known;
    const QFileInfo file(gsPath);
    // Executes the operator only when it is not defined, which fails.
    const auto exitCode = ask(
        runner,
        gs::questionCommand(gsPath, {QStringLiteral("-c"),
                                     gs::quoted(QStringLiteral(
                                         "/.setpdfwrite where { pop } { .setpdfwrite } ifelse"))}),
        QString());
    if (!exitCode)
        return true;
    std::lock_guard lock(m_mutex);
    m_answers.insert(answerKey(file), Answer{file.lastModified(), file.size(), *exitCode == 0});
    return *exitCode == 0;
}

GhostscriptRuns::GhostscriptRuns(CommandRunner& runner, GhostscriptAnswers* answers)
    : m_runner(runner), m_ownAnswers(answers ? nullptr : std::make_unique<GhostscriptAnswers>()),
      m_answers(answers ? answers : m_ownAnswers.get())
{
}

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
        ask(m_runner,
            gs::questionCommand(
                gsPath, {gs::quoted(QStringLiteral("--permit-file-read=") + pdf),
                         gs::quoted(QStringLiteral("-sQuillmerPdf=") + pdf), QStringLiteral("-c"),
                         gs::quoted(QStringLiteral("QuillmerPdf (r) file runpdfbegin pdfpagecount "
                                                   "%1 lt { null 1 .quit } if")
                                        .arg(from))}),
            scratch);
    return exitCode && *exitCode != 0;
}

} // namespace quillmer
