#include "engine/printstep.h"

#include "errors/apperror.h"
#include "office/papersizes.h"

#include <QLocale>
#include <cmath>

namespace quillmer {

std::optional<qint32> PaperSizeNumber(const QString& text)
{
    if (const office::PaperSize* paper = office::paperSizeNamed(text))
        return paper->number;
    return std::nullopt;
}

qint16 TextToInteger16(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        throw AppError(err::TypeMismatch);
    const double rounded = std::nearbyint(value); // the default mode rounds half to even
    if (rounded < -32768.0 || rounded > 32767.0)
        throw AppError(err::Overflow);
    return qint16(rounded);
}

void WritePageSetup(office::Worksheet& sheet, const ConversionOptionsSource& options)
{
    namespace xl = office::xl;
    sheet.pageSetup()->setPrintComments(xl::PrintInPlace);
    sheet.pageSetup()->setPrintGridlines(options.currentOptions().showGridlines == 1);
    if (const auto paper = PaperSizeNumber(options.currentOptions().paperSize))
        sheet.pageSetup()->setPaperSize(*paper);
    sheet.pageSetup()->setZoom(TextToInteger16(options.currentOptions().scale));
    sheet.pageSetup()->setOrientation(options.currentOptions().landscape ? xl::Landscape
                                                                         : xl::Portrait);
    sheet.pageSetup()->setPrintHeadings(options.currentOptions().showHeaders == 1);
    sheet.pageSetup()->setPrintNotes(true);
    sheet.pageSetup()->setPrintArea(QString());
}

void PrintWorkbookToPostScript(office::SpreadsheetHost& host, office::Worksheet& sheet,
                               const ConversionOptionsSource& options, const QString& scratchFolder)
{
    WritePageSetup(sheet, options);
    // The whole workbook, whatever the page range: see the header.
    PrintActiveWorkbook(host, scratchFolder);
}

void PrintActiveWorkbook(office::SpreadsheetHost& host, const QString& scratchFolder)
{
    host.ActiveWorkbook()->PrintOut(std::nullopt, std::nullopt, QVariant(qint16(1)),
                                    QVariant(false), QVariant(PdfPrinterQueue), QVariant(true),
                                    QVariant(qint16(1)), QVariant(scratchFolder + PsFileName));
}

} // namespace quillmer
