#pragma once

#include "engine/conversionservices.h"
#include "engine/ghostscript.h"
#include "errors/services.h"
#include "frontend/sheetchoice.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace quillmer {

// How the command makes its PDF: the office's own export, or the designed
// print to PostScript through the printer queue and Ghostscript.
enum class ConversionRoad
{
    Export,
    Print
};

// Page set-up properties written on every sheet that prints; an option not
// given writes nothing, and each sheet keeps its own.
struct PageSetupOverrides
{
    std::optional<qint32> paperSize; // Excel's PaperSize number
    std::optional<bool> landscape;
    std::optional<qint16> zoom;                   // per cent
    std::optional<std::pair<qint32, qint32>> fit; // pages wide, tall; 0 = as many as needed
    std::optional<bool> gridlines;
    std::optional<bool> headings;

    bool any() const { return paperSize || landscape || zoom || fit || gridlines || headings; }
};

// What the command asks of one conversion.
struct CommandRequest
{
    ConversionRoad road = ConversionRoad::Export;
    std::optional<SheetList> sheets; // none: the sheets the workbook shows
    bool splitSheets = false;        // one PDF per printed sheet
    PageSetupOverrides pageSetup;
    bool onePagePerSheet = false;             // export road only
    std::optional<std::pair<int, int>> pages; // of the printed document, from 1
    int pdfA = 0;                             // 1, 2, 3: PDF/A-1b, -2b, -3b; export road only
    std::optional<QString> password;          // the workbooks' open password
};

// One PDF a conversion wrote.
struct WrittenPdf
{
    QString target;
    QString sheet; // the sheet's name, for a split
    int pages = 0;
};

// What came of one conversion that did not fail.
struct ConversionOutput
{
    QList<WrittenPdf> written;
    // The workbook was closed and the office let go without a failure; when
    // false the office is not to be trusted with another job, though every
    // PDF is whole.
    bool endedCleanly = true;
};

// The command's conversion of one workbook, in one place:
//
//   open (with the password, answering nothing else), choose the sheets
//   that print (by their visibility on the read-only document: those not
//   printed are hidden and print no area of their own, named hidden ones
//   are shown), write the page set-up overrides on each printed sheet, then
//   export (the office's PDF straight into the target) or print (PostScript,
//   then Ghostscript's pdfwrite), keep or split the pages by sheet where
//   asked (qpdf), close.
//
// Nothing is written, enumerated or read that no option needs: with default
// options it is the office's own export of the workbook, each sheet as the
// workbook sets it up. Every step raises AppError; the caller's one trap
// turns it into the job's error text. The host is ended on every path.
class CommandConversion
{
public:
    CommandConversion(const ConversionServices& services, ProgramExit& ender);

    ConversionOutput convert(const QString& source, const QString& target,
                             const CommandRequest& request);

private:
    struct Job;
    void chooseSheets(Job& job);
    void writePageSetup(Job& job);
    void render(Job& job);
    void printThroughQueue(Job& job, bool cutRange);
    void keepPages(Job& job);
    QList<int> pagePlan(Job& job);

    ConversionServices m_services;
    ProgramExit& m_ender;
    GhostscriptRuns m_ghostscript;
};

} // namespace quillmer
