#pragma once

#include "engine/conversionoptions.h"
#include "office/spreadsheethost.h"

#include <QString>
#include <optional>

namespace quillmer {

// The PostScript printer queue every print call names.
inline const QString PdfPrinterQueue = QStringLiteral("Quillmer");
// The print file, joined to the scratch folder path.
inline const QString PsFileName = QStringLiteral("/PsFile.ps");

// The paper-size number for the text of cboPaperSize, compared exactly:
// "Legal" 5, "A4" 9, "A5" 11, "Letter" 1, "B4" 12, "B5" 13; nothing for any
// other text (also "a4").
std::optional<qint32> PaperSizeNumber(const QString& text);

// A text as a 16-bit whole number (as the scale box's text is taken): a
// number in the user's locale (or plain C notation), rounded half to even.
// AppError 13 (Type mismatch) when it is not a number, 6 (Overflow) when it
// does not fit.
qint16 TextToInteger16(const QString& text);

// The page set-up and print step of one conversion. Writes the options into
// the sheet's page set-up, reading them afresh before each write, in this
// order: PrintComments (in place), PrintGridlines (check box value 1 only),
// PaperSize (no write for an unknown text), Zoom (the scale text), Orientation,
// PrintHeadings (value 1 only), PrintNotes, PrintArea "" (a stored print area
// is cleared). Then prints the active workbook on PdfPrinterQueue into
// scratchFolder + PsFileName. Every failure passes to the caller.
//
// The print call always prints the whole workbook, also when a page range is
// chosen: the PDF must hold the workbook's own pages From..To, and the second
// Ghostscript run of the conversion cuts exactly those pages, numbered as in
// the whole workbook, from the full print. Restricting the print call as well
// would cut twice and lose the pages for any From above 1.
void PrintWorkbookToPostScript(office::SpreadsheetHost& host, office::Worksheet& sheet,
                               const ConversionOptionsSource& options,
                               const QString& scratchFolder);

// The page set-up half of the step: the eight writes, in the order above.
void WritePageSetup(office::Worksheet& sheet, const ConversionOptionsSource& options);

// The print call of the step: the whole active workbook, each sheet with its
// own page set-up, on PdfPrinterQueue into scratchFolder + PsFileName.
void PrintActiveWorkbook(office::SpreadsheetHost& host, const QString& scratchFolder);

} // namespace quillmer
