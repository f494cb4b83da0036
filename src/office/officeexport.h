#pragma once

// The workbook's own PDF export and the page counts that go with it. Only
// the office host's own files include this header.

#include "office/spreadsheethost.h"
#include "office/unoruntime.h"

#include <QList>

namespace quillmer::office {

class OfficeInstance;

// Workbook.ExportAsFixedFormat, on the document (see spreadsheethost.h).
void exportWorkbook(OfficeInstance& instance,
                    const uno::Reference<uno::css::lang::XComponent>& document,
                    const OptionalArg& type, const OptionalArg& filename,
                    const OptionalArg& ignorePrintAreas, const OptionalArg& from,
                    const OptionalArg& to, const OptionalArg& openAfterPublish,
                    const OptionalArg& pdfA, const OptionalArg& onePagePerSheet);

// Workbook.SheetPageCounts, on the document.
QList<qint32> sheetPageCounts(OfficeInstance& instance,
                              const uno::Reference<uno::css::lang::XComponent>& document,
                              const OptionalArg& onePagePerSheet);

// A number argument given as a number or as text ("3"); error 13 otherwise.
qint32 numberArgument(const QVariant& value);

} // namespace quillmer::office
