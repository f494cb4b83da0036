#pragma once

#include <QList>
#include <QString>

namespace quillmer {

// Pages of finished PDFs, read and written with qpdf.

// The number of pages of the PDF at path; 0 when it cannot be read as one.
int pdfPageCount(const QString& path);

// Writes the pages (1-based, in the order given) of source into target,
// everything else of source that the pages need coming along (the document's
// own metadata too, so a PDF/A stays one), as a new file renamed over target
// once it is complete. AppError when source cannot be read or target
// written; target is then as it was.
void writePdfPages(const QString& source, const QList<int>& pages, const QString& target);

} // namespace quillmer
