#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace quillmer::office {

// The spreadsheet application as its automation interface shows it: an
// application instance, its workbooks, their sheets and each sheet's page
// set-up. The calls carry the automation names. Every failure is thrown as
// quillmer::AppError with the number the application would raise:
//   429  the instance cannot be created (start or connection failure);
//   1004 a value or call the application refuses (unknown printer, a
//        workbook that cannot be opened, a page set-up value out of range);
//   9    a sheet number out of range ("Subscript out of range");
//   13   an argument of the wrong kind ("Type mismatch");
//   91   no workbook is open for ActiveWorkbook;
//   440  the application did not answer within its time limit (the
//        instance has then been ended);
//   462  the instance has ended (after Quit, a time-out or a crash).
namespace hosterr {
inline constexpr qint32 AutomationError = 440;
inline constexpr qint32 ServerUnavailable = 462;
} // namespace hosterr

// A positional argument that may be left out: std::nullopt is "missing", so
// the application uses its default.
using OptionalArg = std::optional<QVariant>;

// Excel's values for the PageSetup properties.
namespace xl {
inline constexpr qint32 Portrait = 1;
inline constexpr qint32 Landscape = 2;
inline constexpr qint32 PrintNoComments = -4142;
inline constexpr qint32 PrintSheetEnd = 1;
inline constexpr qint32 PrintInPlace = 16;
inline constexpr qint32 PaperLetter = 1;
inline constexpr qint32 PaperLegal = 5;
inline constexpr qint32 PaperA4 = 9;
inline constexpr qint32 PaperA5 = 11;
inline constexpr qint32 PaperB4 = 12;
inline constexpr qint32 PaperB5 = 13;
inline constexpr qint32 SheetVisible = -1;
inline constexpr qint32 SheetHidden = 0;
inline constexpr qint32 SheetVeryHidden = 2;
inline constexpr qint32 TypePDF = 0;
inline constexpr qint32 QualityStandard = 0;
} // namespace xl

// Worksheet.PageSetup: one write per property, as the automation interface
// sets them.
class PageSetup
{
public:
    virtual ~PageSetup() = default;
    virtual void
    setPrintComments(qint32 value) = 0; // xl::PrintNoComments, PrintSheetEnd, PrintInPlace
    virtual void setPrintGridlines(bool value) = 0;
    virtual void setPaperSize(qint32 value) = 0;   // xl::Paper...
    virtual void setZoom(qint16 percent) = 0;      // 10 to 400
    virtual void setOrientation(qint32 value) = 0; // xl::Portrait or xl::Landscape
    virtual void setPrintHeadings(bool value) = 0;
    virtual void setPrintNotes(bool value) = 0;
    virtual void setPrintArea(const QString& range) = 0; // "" = the whole sheet
    // FitToPagesWide and FitToPagesTall, with Zoom = False: the sheet is
    // scaled to that many pages across and down; 0 is Excel's False, as many
    // as needed.
    virtual void setFitToPagesWide(qint32 pages) = 0;
    virtual void setFitToPagesTall(qint32 pages) = 0;
};

class Worksheet
{
public:
    virtual ~Worksheet() = default;
    virtual QString Name() const = 0;
    // The sheet's page set-up, fetched anew on each call.
    virtual std::unique_ptr<PageSetup> pageSetup() = 0;
    // Visible: xl::SheetVisible, or xl::SheetHidden for a sheet the workbook
    // hides (the office keeps no "very hidden" of its own). Writing
    // xl::SheetHidden or xl::SheetVeryHidden hides the sheet, which then
    // prints no page of its own; the workbook's file is never written.
    // Hiding the last visible sheet is error 1004.
    virtual qint32 Visible() const = 0;
    virtual void setVisible(qint32 value) = 0;
};

class Workbook
{
public:
    virtual ~Workbook() = default;
    virtual QString Name() const = 0;
    // The number of sheets of Sheets().
    virtual qint16 SheetCount() const = 0;
    // Sheets(index), 1-based; error 9 out of range.
    virtual std::unique_ptr<Worksheet> Sheets(qint16 index) = 0;
    // PrintOut(From, To, Copies, Preview, ActivePrinter, PrintToFile, Collate,
    // PrToFileName). Prints the whole workbook (pages From..To when given),
    // each sheet with its own page set-up, on ActivePrinter (when given, it
    // also becomes the application's active printer), into the file
    // PrToFileName. Returns when the file is complete.
    virtual void PrintOut(const OptionalArg& from, const OptionalArg& to, const OptionalArg& copies,
                          const OptionalArg& preview, const OptionalArg& activePrinter,
                          const OptionalArg& printToFile, const OptionalArg& collate,
                          const OptionalArg& prToFileName) = 0;
    // ExportAsFixedFormat(Type, Filename, Quality, IncludeDocProperties,
    // IgnorePrintAreas, From, To, OpenAfterPublish), and two arguments
    // Excel lacks: PdfA, the PDF/A level (1, 2 or 3 for PDF/A-1b, -2b,
    // -3b; missing or 0: plain PDF), and OnePagePerSheet (each sheet on
    // one page of its own size). Type is xl::TypePDF; the workbook is
    // exported as it prints, each sheet with its own page set-up, pages
    // From..To when given. The application writes into a new file beside
    // Filename that takes its place once complete: a failure leaves
    // Filename as it was. IgnorePrintAreas and OpenAfterPublish must be
    // false; Quality and IncludeDocProperties change nothing. Error 1004
    // for a range that holds no page, naming the pages there are.
    virtual void ExportAsFixedFormat(const OptionalArg& type, const OptionalArg& filename,
                                     const OptionalArg& quality,
                                     const OptionalArg& includeDocProperties,
                                     const OptionalArg& ignorePrintAreas, const OptionalArg& from,
                                     const OptionalArg& to, const OptionalArg& openAfterPublish,
                                     const OptionalArg& pdfA,
                                     const OptionalArg& onePagePerSheet) = 0;
    // What PageSetup.Pages.Count says of each sheet, in sheet order, counted
    // in the workbook's whole print (PrintOut, or ExportAsFixedFormat with
    // OnePagePerSheet as given): the pages of sheet i follow those of the
    // sheets before it. A page that belongs to no sheet (an empty
    // workbook's one blank page) counts for the first sheet that prints.
    virtual QList<qint32> SheetPageCounts(const OptionalArg& onePagePerSheet) = 0;
    // Closes the workbook without saving anything.
    virtual void Close() = 0;
};

// One instance of the spreadsheet application ("Excel.Application"). It is
// created by its constructor (error 429 when that fails) and ended by Quit or
// its destructor.
class SpreadsheetHost
{
public:
    virtual ~SpreadsheetHost() = default;
    // Workbooks.Open(path): opens the workbook hidden, read-only and without
    // asking anything; it becomes the active workbook.
    virtual std::shared_ptr<Workbook> WorkbooksOpen(const QString& path) = 0;
    // Workbooks.Open(path, Password:=password): the same, but a request for
    // the workbook's open password is answered once, with password (a second
    // request means it is wrong), and every other request is refused, so
    // the application never waits for an answer. Missing password: a
    // workbook that needs one fails at once. Error 1004 names which:
    // "the workbook needs a password" or "the password does not open the
    // workbook"; the password itself is never part of a message.
    virtual std::shared_ptr<Workbook> WorkbooksOpen(const QString& path,
                                                    const OptionalArg& password) = 0;
    // The workbook opened last and still open; error 91 when none is.
    virtual std::shared_ptr<Workbook> ActiveWorkbook() = 0;
    // The name of the printer the application prints to. Writing a name that
    // is not an installed printer is error 1004.
    virtual QString ActivePrinter() const = 0;
    virtual void setActivePrinter(const QString& deviceName) = 0;
    // Ends the instance. Calls after it raise error 462; a second Quit does
    // nothing.
    virtual void Quit() = 0;
};

// Makes new instances (CreateObject("Excel.Application")).
class SpreadsheetHostFactory
{
public:
    virtual ~SpreadsheetHostFactory() = default;
    virtual std::unique_ptr<SpreadsheetHost> create() = 0;
    // How many hosts the caller will ask for after the next create(), as far
    // as it knows (the jobs of a batch still to come). Good for the next
    // create() only. A factory that starts offices ahead uses it to choose
    // when; others ignore it.
    virtual void expectMore(int count) { (void)count; }
};

} // namespace quillmer::office
