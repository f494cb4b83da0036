#pragma once

// The page set-up of one sheet, as Excel's PageSetup object shows it, on a
// LibreOffice page style. Only the office host's own files include this
// header.

#include "office/spreadsheethost.h"
#include "office/unoruntime.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <memory>

namespace quillmer::office {

class OfficeInstance;

// The page style a sheet's earlier writes found to be its own; shared by the
// PageSetup objects of one sheet.
struct OwnPageStyle
{
    uno::OUString name;
    uno::Reference<uno::css::beans::XPropertySet> style;
};

// The PageSetup of the sheet. Before its first write it gives the sheet a
// page style of its own when another sheet prints with the same one, so
// that the other sheets keep their set-up.
std::unique_ptr<PageSetup> officePageSetup(std::shared_ptr<OfficeInstance> instance,
                                           uno::Reference<uno::css::lang::XComponent> document,
                                           uno::Reference<uno::css::sheet::XSpreadsheet> sheet,
                                           std::shared_ptr<OwnPageStyle> own);

} // namespace quillmer::office
