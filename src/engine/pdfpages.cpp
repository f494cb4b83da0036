#include "engine/pdfpages.h"

#include "errors/apperror.h"
#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace quillmer {

namespace {

void read(QPDF& document, const QString& path)
{
    document.setSuppressWarnings(true);
    document.processFile(QFile::encodeName(path).constData());
}

} // namespace

int pdfPageCount(const QString& path)
{
    try {
        QPDF document;
        read(document, path);
        return int(document.getAllPages().size());
    } catch (const std::exception&) {
        return 0; // qpdf cannot read it: no PDF, no pages
    }
}

void writePdfPages(const QString& source, const QList<int>& pages, const QString& target)
{
    platform::PendingFile file(target);
    try {
        QPDF document;
        read(document, source);
        QPDFPageDocumentHelper helper(document);
        const std::vector<QPDFPageObjectHelper> all = helper.getAllPages();
        std::vector<QPDFPageObjectHelper> kept;
        for (const int page : pages) {
            if (page < 1 || page > int(all.size()))
                throw AppError(err::ObjectDefined, QStringLiteral("'%1' has no page %2")
                                                       .arg(QDir::toNativeSeparators(source))
                                                       .arg(page));
            kept.push_back(all[size_t(page - 1)]);
        }
        for (QPDFPageObjectHelper page : all)
            helper.removePage(page);
        for (QPDFPageObjectHelper& page : kept)
            helper.addPage(page, false);
        // QPDFWriter keeps the name's pointer until it writes.
        const QByteArray name = QFile::encodeName(file.path());
        QPDFWriter writer(document, name.constData());
        writer.write();
    } catch (const AppError&) {
        throw;
    } catch (const std::exception& e) {
        throw AppError(err::PathFileAccess, QStringLiteral("'%1' cannot be written: %2")
                                                .arg(QDir::toNativeSeparators(target),
                                                     QString::fromLocal8Bit(e.what())));
    }
    file.commit();
}

} // namespace quillmer
