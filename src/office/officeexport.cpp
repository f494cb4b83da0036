#include "office/officeexport.h"

#include "office/officeinstance.h"
#include "platform/atomicfile.h"

#include <QFileInfo>
#include <cmath>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/view/XRenderable.hpp>
#include <vector>

namespace quillmer::office {

using namespace uno;

namespace {

const QString ExportFailed = QStringLiteral("ExportAsFixedFormat method of Workbook class failed");

AppError exportRefused(const QString& why)
{
    return AppError(err::ObjectDefined, ExportFailed + QStringLiteral(": ") + why);
}

bool flag(const OptionalArg& value)
{
    return value && value->toBool();
}

// The renderer options that paginate as the export does.
Sequence<css::beans::PropertyValue> renderOptions(bool onePagePerSheet)
{
    const css::beans::PropertyValue single = property("SinglePageSheets", Any(true));
    return Sequence<css::beans::PropertyValue>(&single, onePagePerSheet ? 1 : 0);
}

sal_Int32 printedPages(const Reference<css::lang::XComponent>& document, bool onePagePerSheet)
{
    const Reference<css::view::XRenderable> renderable(document, UNO_QUERY_THROW);
    return renderable->getRendererCount(Any(document), renderOptions(onePagePerSheet));
}

} // namespace

qint32 numberArgument(const QVariant& value)
{
    bool ok = false;
    const double d = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || d < -2147483648.0 || d > 2147483647.0)
        throw AppError(err::TypeMismatch);
    return qint32(std::nearbyint(d));
}

void exportWorkbook(OfficeInstance& instance, const Reference<css::lang::XComponent>& document,
                    const OptionalArg& type, const OptionalArg& filename,
                    const OptionalArg& ignorePrintAreas, const OptionalArg& from,
                    const OptionalArg& to, const OptionalArg& openAfterPublish,
                    const OptionalArg& pdfA, const OptionalArg& onePagePerSheet)
{
    if (!instance.alive())
        throw serverGone();
    if (type && numberArgument(*type) != xl::TypePDF)
        throw exportRefused(QStringLiteral("only PDF is written"));
    const QString target = filename ? filename->toString() : QString();
    if (target.isEmpty())
        throw exportRefused(QStringLiteral("no Filename"));
    if (flag(ignorePrintAreas))
        throw exportRefused(QStringLiteral("the print areas are always kept"));
    if (flag(openAfterPublish))
        throw exportRefused(QStringLiteral("nothing is opened afterwards"));
    const qint32 level = pdfA ? numberArgument(*pdfA) : 0;
    if (level < 0 || level > 3)
        throw exportRefused(QStringLiteral("no PDF/A-%1").arg(level));
    const bool single = flag(onePagePerSheet);
    const qint32 first = from ? numberArgument(*from) : 1;
    const qint32 last = to ? numberArgument(*to) : 0;
    if (first < 1 || (to && last < first))
        throw exportRefused(QStringLiteral("no pages %1 to %2").arg(first).arg(last));

    std::vector<css::beans::PropertyValue> data;
    if (from || to)
        data.push_back(property("PageRange", Any(ou(QString::number(first) + u'-' +
                                                    (to ? QString::number(last) : QString())))));
    if (level > 0)
        data.push_back(property("SelectPdfVersion", Any(sal_Int32(level))));
    if (single)
        data.push_back(property("SinglePageSheets", Any(true)));

    platform::PendingFile file(QFileInfo(target).absoluteFilePath());
    try {
        instance.run(ExportFailed, [&] {
            const css::beans::PropertyValue arguments[] = {
                property("FilterName", Any(OUString("calc_pdf_Export"))),
                property("FilterData", Any(Sequence<css::beans::PropertyValue>(
                                           data.data(), sal_Int32(data.size()))))};
            Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
                ->storeToURL(fileUrl(file.path()),
                             Sequence<css::beans::PropertyValue>(arguments, 2));
        });
    } catch (const AppError& e) {
        // The office only says it could not write: a range past the last
        // page is the likely reason, and worth saying.
        if (e.number() != err::ObjectDefined || !(from || to))
            throw;
        const sal_Int32 pages =
            instance.run(ExportFailed, [&] { return printedPages(document, single); });
        if (first <= pages)
            throw;
        throw exportRefused(
            QStringLiteral("no page %1: the workbook prints %2 %3")
                .arg(first)
                .arg(pages)
                .arg(pages == 1 ? QStringLiteral("page") : QStringLiteral("pages")));
    }
    file.commit();
}

QList<qint32> sheetPageCounts(OfficeInstance& instance,
                              const Reference<css::lang::XComponent>& document,
                              const OptionalArg& onePagePerSheet)
{
    return instance.run(QStringLiteral("Pages.Count failed"), [&] {
        const bool single = flag(onePagePerSheet);
        const Reference<css::sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY_THROW);
        const Reference<css::container::XIndexAccess> sheets(spreadsheet->getSheets(),
                                                             UNO_QUERY_THROW);
        QList<qint32> counts(sheets->getCount(), 0);
        const Reference<css::view::XRenderable> renderable(document, UNO_QUERY_THROW);
        const Sequence<css::beans::PropertyValue> options = renderOptions(single);
        const Any selection(document);
        const sal_Int32 pages = renderable->getRendererCount(selection, options);
        int previous = -1, unplaced = 0;
        for (sal_Int32 page = 0; page < pages; ++page) {
            int sheet = -1;
            for (const css::beans::PropertyValue& p :
                 renderable->getRenderer(page, selection, options)) {
                css::table::CellRangeAddress range;
                if (p.Name == "SourceRange" && (p.Value >>= range))
                    sheet = range.Sheet;
            }
            if (sheet < 0 || sheet >= counts.size())
                sheet = previous;
            if (sheet < 0) {
                ++unplaced; // before any page of a sheet: the next sheet's
                continue;
            }
            counts[sheet] += 1 + unplaced;
            unplaced = 0;
            previous = sheet;
        }
        // No page belongs to a sheet: an empty workbook's blank page, which
        // goes with the first sheet that prints.
        for (qsizetype i = 0; unplaced > 0 && i < counts.size(); ++i) {
            bool visible = true;
            Reference<css::beans::XPropertySet>(sheets->getByIndex(sal_Int32(i)), UNO_QUERY_THROW)
                ->getPropertyValue(OUString("IsVisible")) >>= visible;
            if (visible) {
                counts[i] += unplaced;
                unplaced = 0;
            }
        }
        return counts;
    });
}

} // namespace quillmer::office
