#include "office/officepagesetup.h"

#include "office/officeinstance.h"
#include "office/papersizes.h"

#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XPrintAreas.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <optional>
#include <utility>

namespace quillmer::office {

using namespace uno;

namespace {

// The page styles of a document, and the style one sheet prints with.
struct SheetStyle
{
    Reference<css::container::XNameContainer> styles;
    Reference<css::beans::XPropertySet> sheet;
    OUString name;
};

SheetStyle sheetStyle(const Reference<css::lang::XComponent>& document,
                      const Reference<css::sheet::XSpreadsheet>& sheet)
{
    SheetStyle s;
    const Reference<css::style::XStyleFamiliesSupplier> supplier(document, UNO_QUERY_THROW);
    s.styles.set(supplier->getStyleFamilies()->getByName(OUString("PageStyles")), UNO_QUERY_THROW);
    s.sheet.set(sheet, UNO_QUERY_THROW);
    s.sheet->getPropertyValue(OUString("PageStyle")) >>= s.name;
    return s;
}

// Gives the sheet a page style of its own when another sheet prints with the
// same one, so that writing the sheet's set-up leaves the other sheets' as
// it was. Returns the style to write to.
Reference<css::beans::XPropertySet> ownPageStyle(const Reference<css::lang::XComponent>& document,
                                                 const Reference<css::sheet::XSpreadsheet>& sheet)
{
    SheetStyle s = sheetStyle(document, sheet);
    const Reference<css::beans::XPropertySet> current(s.styles->getByName(s.name), UNO_QUERY_THROW);

    const Reference<css::sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY_THROW);
    const Reference<css::container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY_THROW);
    const OUString sheetName = Reference<css::container::XNamed>(sheet, UNO_QUERY_THROW)->getName();
    bool shared = false;
    for (sal_Int32 i = 0; i < sheets->getCount() && !shared; ++i) {
        const Reference<css::container::XNamed> other(sheets->getByIndex(i), UNO_QUERY_THROW);
        if (other->getName() == sheetName)
            continue;
        OUString otherStyle;
        Reference<css::beans::XPropertySet>(other, UNO_QUERY_THROW)
            ->getPropertyValue(OUString("PageStyle")) >>= otherStyle;
        shared = otherStyle == s.name;
    }
    if (!shared)
        return current;

    OUString copyName = s.name + OUString(" (") + sheetName + OUString(")");
    for (int n = 2; s.styles->hasByName(copyName); ++n)
        copyName = s.name + OUString(" (") + sheetName + OUString(" ") + OUString::number(n) +
                   OUString(")");
    const Reference<css::lang::XMultiServiceFactory> factory(document, UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> copy(
        factory->createInstance(OUString("com.sun.star.style.PageStyle")), UNO_QUERY_THROW);
    s.styles->insertByName(copyName, Any(copy));
    const Sequence<css::beans::Property> all = current->getPropertySetInfo()->getProperties();
    for (const css::beans::Property& p : all) {
        if (p.Attributes & css::beans::PropertyAttribute::READONLY)
            continue;
        try {
            copy->setPropertyValue(p.Name, current->getPropertyValue(p.Name));
        } catch (const css::uno::RuntimeException&) {
            throw;
        } catch (const css::uno::Exception&) {
            // A property the new style cannot take keeps its default.
        }
    }
    // The size last, whatever the order above did to it.
    copy->setPropertyValue(OUString("Width"), current->getPropertyValue(OUString("Width")));
    copy->setPropertyValue(OUString("Height"), current->getPropertyValue(OUString("Height")));
    s.sheet->setPropertyValue(OUString("PageStyle"), Any(copyName));
    return copy;
}

AppError unableToSet(const char* property)
{
    return AppError(err::ObjectDefined,
                    QStringLiteral("Unable to set the %1 property of the PageSetup class")
                        .arg(QLatin1String(property)));
}

QString setFailure(const char* property)
{
    return unableToSet(property).description();
}

// Width and height so that the longer side lies across in landscape.
void orient(const Reference<css::beans::XPropertySet>& style, sal_Int32 width, sal_Int32 height,
            bool landscape)
{
    if ((landscape && width < height) || (!landscape && width > height))
        std::swap(width, height);
    style->setPropertyValue(OUString("Width"), Any(width));
    style->setPropertyValue(OUString("Height"), Any(height));
}

class OfficePageSetup final : public PageSetup
{
public:
    OfficePageSetup(std::shared_ptr<OfficeInstance> instance,
                    Reference<css::lang::XComponent> document,
                    Reference<css::sheet::XSpreadsheet> sheet, std::shared_ptr<OwnPageStyle> own)
        : m_instance(std::move(instance)), m_document(std::move(document)),
          m_sheet(std::move(sheet)), m_own(std::move(own))
    {
    }

    void setPrintComments(qint32 value) override
    {
        if (value != xl::PrintNoComments && value != xl::PrintSheetEnd && value != xl::PrintInPlace)
            throw unableToSet("PrintComments");
        write("PrintComments", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("PrintAnnotations"),
                                    Any(value != xl::PrintNoComments));
        });
    }
    void setPrintGridlines(bool value) override
    {
        write("PrintGridlines", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("PrintGrid"), Any(value));
        });
    }
    void setPaperSize(qint32 value) override
    {
        const PaperSize* size = paperSizeNumbered(value);
        if (!size)
            throw unableToSet("PaperSize");
        write("PaperSize", [&](const Reference<css::beans::XPropertySet>& style) {
            bool landscape = false;
            style->getPropertyValue(OUString("IsLandscape")) >>= landscape;
            orient(style, size->width, size->height, landscape);
        });
    }
    void setZoom(qint16 percent) override
    {
        if (percent < 10 || percent > 400)
            throw unableToSet("Zoom");
        write("Zoom", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("ScaleToPages"), Any(sal_Int16(0)));
            style->setPropertyValue(OUString("ScaleToPagesX"), Any(sal_Int16(0)));
            style->setPropertyValue(OUString("ScaleToPagesY"), Any(sal_Int16(0)));
            style->setPropertyValue(OUString("PageScale"), Any(sal_Int16(percent)));
        });
    }
    void setOrientation(qint32 value) override
    {
        if (value != xl::Portrait && value != xl::Landscape)
            throw unableToSet("Orientation");
        write("Orientation", [&](const Reference<css::beans::XPropertySet>& style) {
            const bool landscape = value == xl::Landscape;
            style->setPropertyValue(OUString("IsLandscape"), Any(landscape));
            sal_Int32 width = 0, height = 0;
            style->getPropertyValue(OUString("Width")) >>= width;
            style->getPropertyValue(OUString("Height")) >>= height;
            orient(style, width, height, landscape);
        });
    }
    void setPrintHeadings(bool value) override
    {
        write("PrintHeadings", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("PrintHeaders"), Any(value));
        });
    }
    void setPrintNotes(bool value) override
    {
        write("PrintNotes", [&](const Reference<css::beans::XPropertySet>& style) {
            style->setPropertyValue(OUString("PrintAnnotations"), Any(value));
        });
    }
    void setFitToPagesWide(qint32 pages) override
    {
        fitTo("FitToPagesWide", "ScaleToPagesX", pages);
    }
    void setFitToPagesTall(qint32 pages) override
    {
        fitTo("FitToPagesTall", "ScaleToPagesY", pages);
    }
    void setPrintArea(const QString& range) override
    {
        m_instance->run(setFailure("PrintArea"), [&] {
            const Reference<css::sheet::XPrintAreas> areas(m_sheet, UNO_QUERY_THROW);
            if (range.trimmed().isEmpty()) {
                // No ranges alone would print nothing of this sheet; the
                // automatic print area is the whole sheet.
                areas->setPrintAreas(Sequence<css::table::CellRangeAddress>());
                Reference<css::beans::XPropertySet>(m_sheet, UNO_QUERY_THROW)
                    ->setPropertyValue(OUString("AutomaticPrintArea"), Any(true));
                return;
            }
            const Reference<css::table::XCellRange> cells(m_sheet, UNO_QUERY_THROW);
            const Reference<css::sheet::XCellRangeAddressable> address(
                cells->getCellRangeByName(ou(range.trimmed())), UNO_QUERY_THROW);
            const css::table::CellRangeAddress area = address->getRangeAddress();
            areas->setPrintAreas(Sequence<css::table::CellRangeAddress>(&area, 1));
        });
    }

private:
    // One side of the fit to pages; the scale to a number of pages in all
    // gives way, as Excel's Zoom does.
    void fitTo(const char* property, const char* setting, qint32 pages)
    {
        if (pages < 0 || pages > 1000)
            throw unableToSet(property);
        write(property, [&](const Reference<css::beans::XPropertySet>& style) {
            // Written again, a scale to pages in all of 0 would also clear
            // the other side's fit.
            sal_Int16 total = 0;
            style->getPropertyValue(OUString("ScaleToPages")) >>= total;
            if (total != 0)
                style->setPropertyValue(OUString("ScaleToPages"), Any(sal_Int16(0)));
            style->setPropertyValue(OUString::createFromAscii(setting), Any(sal_Int16(pages)));
        });
    }

    template <typename F> void write(const char* property, F&& f)
    {
        m_instance->run(setFailure(property), [&] { f(style()); });
    }

    // The sheet's own page style. Once an earlier write made sure of it, it
    // stays so while the sheet keeps that style: only this sheet's set-up is
    // ever written.
    Reference<css::beans::XPropertySet> style()
    {
        const Reference<css::beans::XPropertySet> sheet(m_sheet, UNO_QUERY_THROW);
        OUString name;
        sheet->getPropertyValue(OUString("PageStyle")) >>= name;
        if (m_own->style.is() && m_own->name == name)
            return m_own->style;
        m_own->style = ownPageStyle(m_document, m_sheet);
        sheet->getPropertyValue(OUString("PageStyle")) >>= m_own->name;
        return m_own->style;
    }

    std::shared_ptr<OfficeInstance> m_instance;
    Reference<css::lang::XComponent> m_document;
    Reference<css::sheet::XSpreadsheet> m_sheet;
    std::shared_ptr<OwnPageStyle> m_own;
};

} // namespace

std::unique_ptr<PageSetup> officePageSetup(std::shared_ptr<OfficeInstance> instance,
                                           Reference<css::lang::XComponent> document,
                                           Reference<css::sheet::XSpreadsheet> sheet,
                                           std::shared_ptr<OwnPageStyle> own)
{
    return std::make_unique<OfficePageSetup>(std::move(instance), std::move(document),
                                             std::move(sheet), std::move(own));
}

} // namespace quillmer::office
