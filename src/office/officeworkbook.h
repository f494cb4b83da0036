#pragma once

// Workbooks and sheets of an office instance: opening, printing, closing.
// Only the office host's own files include this header.

#include "office/spreadsheethost.h"

#include <QString>
#include <memory>

namespace quillmer::office {

class OfficeInstance;
class PasswordHandler;

// Workbooks.Open(path): hidden, read-only, and without any interaction
// unless a password handler is given, so a workbook that needs a password
// fails instead of asking (with one, as the handler answers), and the file
// is never written. Anything the office does not read as a workbook (it
// would open a damaged file as text) is refused with 1004.
std::shared_ptr<Workbook> openWorkbook(const std::shared_ptr<OfficeInstance>& instance,
                                       const QString& path,
                                       const PasswordHandler* password = nullptr);

// Whether a workbook that openWorkbook made has been closed.
bool isClosedWorkbook(const Workbook& workbook);

// ActivePrinter = name ("Quillmer" or "Quillmer on FILE:"); 1004 for a
// printer that is not installed.
void setOfficeActivePrinter(const std::shared_ptr<OfficeInstance>& instance, const QString& name);

} // namespace quillmer::office
