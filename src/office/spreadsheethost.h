#pragma once

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
};

class Worksheet
{
public:
    virtual ~Worksheet() = default;
    virtual QString Name() const = 0;
    // The sheet's page set-up, fetched anew on each call.
    virtual std::unique_ptr<PageSetup> pageSetup() = 0;
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
};

} // namespace quillmer::office
