#include "frontend/commandconversion.h"

#include "engine/pdfpages.h"
#include "engine/pipeline.h"
#include "engine/printstep.h"
#include "errors/apperror.h"
#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <memory>
#include <vector>

namespace quillmer {

namespace xl = office::xl;

namespace {

// Whether the request needs the sheets: which print, and their page set-up.
bool needsSheets(const CommandRequest& r)
{
    return r.sheets || r.splitSheets || r.onePagePerSheet || r.pageSetup.any();
}

// Whether the pages are kept or split by sheet after the whole workbook is
// made: one page per sheet prints hidden and empty sheets as well.
bool keepsPagesBySheet(const CommandRequest& r)
{
    return r.splitSheets || r.onePagePerSheet;
}

office::OptionalArg given(bool condition, const QVariant& value)
{
    return condition ? office::OptionalArg(value) : std::nullopt;
}

AppError noPage(int first, int pages)
{
    return AppError(err::ObjectDefined,
                    QStringLiteral("no page %1: the workbook prints %2 %3")
                        .arg(first)
                        .arg(pages)
                        .arg(pages == 1 ? QStringLiteral("page") : QStringLiteral("pages")));
}

} // namespace

struct CommandConversion::Job
{
    Job(const CommandRequest& r, QString s, QString t)
        : request(r), source(std::move(s)), target(std::move(t))
    {
    }

    const CommandRequest& request;
    QString source;
    QString target;
    std::unique_ptr<office::SpreadsheetHost> host;
    std::shared_ptr<office::Workbook> book;
    std::vector<std::unique_ptr<office::Worksheet>> sheets; // when the request needs them
    QStringList names;
    QList<bool> printed;
    QString whole; // the whole workbook's PDF, when its pages are kept by sheet
    std::optional<ScratchFolder::Lock> lock;
    ConversionOutput outcome;

    office::Workbook& workbook() const
    {
        if (!book)
            throw AppError(err::ObjectNotSet);
        return *book;
    }
};

CommandConversion::CommandConversion(const ConversionServices& services, ProgramExit& ender)
    : m_services(services), m_ender(ender),
      m_ghostscript(services.runner, services.ghostscriptAnswers)
{
}

ConversionOutput CommandConversion::convert(const QString& source, const QString& target,
                                            const CommandRequest& request)
{
    Job job{request, source, target};
    const auto end = [&job] {
        job.sheets.clear();
        if (const auto book = std::exchange(job.book, nullptr))
            book->Close();
        if (const auto host = std::exchange(job.host, nullptr))
            host->Quit();
    };
    try {
        job.host = m_services.hosts.create();
        job.book = job.host->WorkbooksOpen(
            source, given(request.password.has_value(), request.password.value_or(QString())));
        if (needsSheets(request)) {
            chooseSheets(job);
            writePageSetup(job);
        }
        render(job);
    } catch (...) {
        // The office is ended whatever failed; the first failure is the
        // job's, not one that ending it raises after.
        try {
            end();
        } catch (const AppError&) {
        }
        throw;
    }
    try {
        end();
    } catch (const AppError&) {
        job.outcome.endedCleanly = false;
    }
    return job.outcome;
}

void CommandConversion::chooseSheets(Job& job)
{
    office::Workbook& book = job.workbook();
    const qint16 count = book.SheetCount();
    QList<bool> visible;
    for (qint16 i = 1; i <= count; ++i) {
        job.sheets.push_back(book.Sheets(i));
        job.names << job.sheets.back()->Name();
        visible << (job.sheets.back()->Visible() == xl::SheetVisible);
    }
    job.printed = job.request.sheets ? chosenSheets(*job.request.sheets, job.names) : visible;
    // Shown first, so that a workbook never runs out of visible sheets.
    for (qsizetype i = 0; i < job.printed.size(); ++i)
        if (job.printed[i] && !visible[i])
            job.sheets[i]->setVisible(xl::SheetVisible);
    for (qsizetype i = 0; i < job.printed.size(); ++i) {
        if (job.printed[i])
            continue;
        if (visible[i])
            job.sheets[i]->setVisible(xl::SheetHidden);
        // The office prints a hidden sheet's own print area all the same.
        job.sheets[i]->pageSetup()->setPrintArea(QString());
    }
}

void CommandConversion::writePageSetup(Job& job)
{
    const PageSetupOverrides& o = job.request.pageSetup;
    if (!o.any())
        return;
    for (qsizetype i = 0; i < job.printed.size(); ++i) {
        if (!job.printed[i])
            continue;
        office::Worksheet& sheet = *job.sheets[size_t(i)];
        if (o.paperSize)
            sheet.pageSetup()->setPaperSize(*o.paperSize);
        if (o.landscape)
            sheet.pageSetup()->setOrientation(*o.landscape ? xl::Landscape : xl::Portrait);
        if (o.zoom)
            sheet.pageSetup()->setZoom(*o.zoom);
        if (o.fit) {
            sheet.pageSetup()->setFitToPagesWide(o.fit->first);
            sheet.pageSetup()->setFitToPagesTall(o.fit->second);
        }
        if (o.gridlines)
            sheet.pageSetup()->setPrintGridlines(*o.gridlines);
        if (o.headings)
            sheet.pageSetup()->setPrintHeadings(*o.headings);
    }
}

void CommandConversion::render(Job& job)
{
    const CommandRequest& r = job.request;
    const bool bySheet = keepsPagesBySheet(r);
    const bool range = r.pages && !bySheet;
    if (r.road == ConversionRoad::Print) {
        printThroughQueue(job, range);
        const QString printed = m_services.scratch.pdfFile();
        if (bySheet) {
            job.whole = printed;
            keepPages(job);
            return;
        }
        platform::copyFileAtomically(printed, job.target);
    } else {
        const QString out =
            bySheet ? m_services.scratch.path() + QStringLiteral("/Whole.pdf") : job.target;
        if (bySheet) {
            m_services.scratch.ensure();
            job.lock = m_services.scratch.lock();
        }
        const auto removeWhole = qScopeGuard([&] {
            if (bySheet)
                QFile::remove(out);
        });
        job.workbook().ExportAsFixedFormat(
            QVariant(xl::TypePDF), QVariant(out), std::nullopt, std::nullopt, QVariant(false),
            given(range, r.pages ? r.pages->first : 0), given(range, r.pages ? r.pages->second : 0),
            QVariant(false), given(r.pdfA > 0, r.pdfA), given(r.onePagePerSheet, true));
        if (bySheet) {
            job.whole = out;
            keepPages(job);
            return;
        }
    }
    job.outcome.written << WrittenPdf{job.target, QString(), pdfPageCount(job.target)};
}

void CommandConversion::printThroughQueue(Job& job, bool cutRange)
{
    const ScratchFolder& scratch = m_services.scratch;
    scratch.ensure();
    job.lock = scratch.lock();
    for (const QString& file : {scratch.psFile(), scratch.pdfFile(), scratch.pdfTempFile()})
        QFile::remove(file);
    const QString gs = m_services.registry.ghostscriptPath();
    if (!QFileInfo(gs).isFile()) {
        m_ender.EndProgram();
        throw AppError(err::FileNotFound, ConversionEngine::missingConverterMessage());
    }
    PrintActiveWorkbook(*job.host, scratch.path());
    const bool setPdfWrite = m_ghostscript.definesSetPdfWrite(gs);
    const bool range = cutRange && job.request.pages;
    const bool started =
        m_ghostscript.run(GhostscriptRuns::firstRunCommand(gs, scratch.path(), !range, setPdfWrite),
                          scratch.path(), range ? scratch.pdfTempFile() : scratch.pdfFile());
    if (started && range) {
        const auto [from, to] = *job.request.pages;
        const QString first = QString::number(from), last = QString::number(to);
        m_ghostscript.run(
            GhostscriptRuns::secondRunCommand(gs, scratch.path(), first, last, setPdfWrite),
            scratch.path(), scratch.pdfFile());
        if (m_ghostscript.rangeIsEmpty(gs, scratch.pdfTempFile(), scratch.path(), first, last)) {
            const int pages = pdfPageCount(scratch.pdfTempFile());
            QFile::remove(scratch.pdfFile());
            throw noPage(from, pages);
        }
    }
    QFile::remove(scratch.pdfTempFile());
    if (!QFileInfo(scratch.pdfFile()).isFile())
        throw AppError(err::ObjectDefined, ConversionEngine::failedMessage());
}

// The sheet (0-based) of each page of the whole PDF that is kept: the pages
// of printed sheets that print anything without one page per sheet (with
// it, the office gives hidden and empty sheets a page of their own too).
QList<int> CommandConversion::pagePlan(Job& job)
{
    office::Workbook& book = job.workbook();
    const bool single = job.request.onePagePerSheet;
    const QList<qint32> counts = book.SheetPageCounts(given(single, true));
    const QList<qint32> plain = single ? book.SheetPageCounts(std::nullopt) : counts;
    QList<int> sheetOfPage;
    for (qsizetype s = 0; s < counts.size(); ++s)
        for (qint32 n = 0; n < counts[s]; ++n)
            sheetOfPage << int(s);
    const int pages = pdfPageCount(job.whole);
    if (pages != sheetOfPage.size())
        throw AppError(err::ObjectDefined,
                       QStringLiteral("the PDF has %1 pages where the workbook counts %2, so "
                                      "its sheets cannot be told apart")
                           .arg(pages)
                           .arg(sheetOfPage.size()));
    QList<int> kept; // the sheet of each kept page, -1 for a page left out
    for (const int s : sheetOfPage)
        kept << (job.printed.value(s) && plain.value(s) > 0 ? s : -1);
    return kept;
}

void CommandConversion::keepPages(Job& job)
{
    const QList<int> sheetOf = pagePlan(job);
    QList<int> pages; // 1-based pages of the whole PDF, in order
    for (qsizetype p = 0; p < sheetOf.size(); ++p)
        if (sheetOf[p] >= 0)
            pages << int(p + 1);
    if (const auto range = job.request.pages) {
        if (range->first > pages.size())
            throw noPage(range->first, int(pages.size()));
        pages = pages.mid(range->first - 1, range->second - range->first + 1);
    }
    if (pages.isEmpty())
        throw AppError(err::ObjectDefined, QStringLiteral("no sheet that prints has a page"));
    if (!job.request.splitSheets) {
        writePdfPages(job.whole, pages, job.target);
        job.outcome.written << WrittenPdf{job.target, QString(), int(pages.size())};
        return;
    }
    QSet<QString> used;
    for (qsizetype i = 0; i < pages.size();) {
        const int sheet = sheetOf[pages[i] - 1];
        QList<int> own;
        for (; i < pages.size() && sheetOf[pages[i] - 1] == sheet; ++i)
            own << pages[i];
        QString file = sheetTarget(job.target, job.names[sheet]);
        if (used.contains(file.toCaseFolded()))
            file = sheetTarget(job.target, job.names[sheet] + QStringLiteral("-%1").arg(sheet + 1));
        used.insert(file.toCaseFolded());
        writePdfPages(job.whole, own, file);
        job.outcome.written << WrittenPdf{file, job.names[sheet], int(own.size())};
    }
}

} // namespace quillmer
