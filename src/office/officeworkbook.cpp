#include "office/officeworkbook.h"

#include "office/officeexport.h"
#include "office/officeinstance.h"
#include "office/officepagesetup.h"
#include "office/officepassword.h"

#include <QDir>
#include <QFileInfo>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <optional>

namespace quillmer::office {

using namespace uno;

namespace {

// Whether the read-only document takes changes to its sheets (their
// visibility) as well as to its page styles; asked once per workbook.
struct SheetChanges
{
    bool enabled = false;
};

class OfficeWorksheet final : public Worksheet
{
public:
    OfficeWorksheet(std::shared_ptr<OfficeInstance> instance,
                    Reference<css::lang::XComponent> document,
                    Reference<css::sheet::XSpreadsheet> sheet, QString name,
                    std::shared_ptr<SheetChanges> changes)
        : m_instance(std::move(instance)), m_document(std::move(document)),
          m_sheet(std::move(sheet)), m_name(std::move(name)), m_changes(std::move(changes))
    {
    }

    QString Name() const override { return m_name; }
    std::unique_ptr<PageSetup> pageSetup() override
    {
        return officePageSetup(m_instance, m_document, m_sheet, m_ownStyle);
    }

    qint32 Visible() const override
    {
        return m_instance->run(QStringLiteral("Unable to get the Visible property of the "
                                              "Worksheet class"),
                               [&] { return visible() ? xl::SheetVisible : xl::SheetHidden; });
    }

    void setVisible(qint32 value) override
    {
        const QString failure =
            QStringLiteral("Unable to set the Visible property of the Worksheet class");
        if (value != xl::SheetVisible && value != xl::SheetHidden && value != xl::SheetVeryHidden)
            throw AppError(err::ObjectDefined, failure);
        const bool show = value == xl::SheetVisible;
        m_instance->run(failure, [&] {
            // The document stays read-only and is never stored; this only
            // lets it take the change.
            if (!m_changes->enabled)
                Reference<css::beans::XPropertySet>(m_document, UNO_QUERY_THROW)
                    ->setPropertyValue(OUString("IsChangeReadOnlyEnabled"), Any(true));
            m_changes->enabled = true;
            Reference<css::beans::XPropertySet>(m_sheet, UNO_QUERY_THROW)
                ->setPropertyValue(OUString("IsVisible"), Any(show));
            // The office keeps the last visible sheet as it is, silently.
            if (!show && visible())
                throw AppError(err::ObjectDefined,
                               failure + QStringLiteral(": a workbook keeps one sheet visible"));
        });
    }

private:
    bool visible() const
    {
        bool shown = true;
        Reference<css::beans::XPropertySet>(m_sheet, UNO_QUERY_THROW)
            ->getPropertyValue(OUString("IsVisible")) >>= shown;
        return shown;
    }

    std::shared_ptr<OfficeInstance> m_instance;
    Reference<css::lang::XComponent> m_document;
    Reference<css::sheet::XSpreadsheet> m_sheet;
    QString m_name;
    std::shared_ptr<SheetChanges> m_changes;
    std::shared_ptr<OwnPageStyle> m_ownStyle = std::make_shared<OwnPageStyle>();
};

class OfficeWorkbook final : public Workbook
{
public:
    OfficeWorkbook(std::shared_ptr<OfficeInstance> instance,
                   Reference<css::lang::XComponent> document, QString name)
        : m_instance(std::move(instance)), m_document(std::move(document)), m_name(std::move(name))
    {
    }

    QString Name() const override { return m_name; }

    qint16 SheetCount() const override
    {
        return m_instance->run(QStringLiteral("Sheets.Count failed"),
                               [&] { return qint16(sheets()->getCount()); });
    }

    std::unique_ptr<Worksheet> Sheets(qint16 index) override
    {
        return m_instance->run(
            QStringLiteral("Sheets failed"), [&]() -> std::unique_ptr<Worksheet> {
                const Reference<css::container::XIndexAccess> all = sheets();
                if (index < 1 || index > all->getCount())
                    throw AppError(err::SubscriptOutOfRange);
                const Reference<css::sheet::XSpreadsheet> sheet(all->getByIndex(index - 1),
                                                                UNO_QUERY_THROW);
                const QString name =
                    qs(Reference<css::container::XNamed>(sheet, UNO_QUERY_THROW)->getName());
                return std::make_unique<OfficeWorksheet>(m_instance, m_document, sheet, name,
                                                         m_changes);
            });
    }

    void PrintOut(const OptionalArg& from, const OptionalArg& to, const OptionalArg& copies,
                  const OptionalArg& preview, const OptionalArg& activePrinter,
                  const OptionalArg& printToFile, const OptionalArg& collate,
                  const OptionalArg& prToFileName) override
    {
        Q_UNUSED(collate); // one copy: nothing to collate
        if (!m_instance->alive())
            throw serverGone();
        if (m_closed)
            throw AppError(err::ObjectNotSet);
        QString pages;
        if (from || to) {
            const qint32 first = from ? numberArgument(*from) : 1;
            if (first < 1)
                throw AppError(
                    err::ObjectDefined,
                    QStringLiteral("PrintOut method of Workbook class failed: no page %1")
                        .arg(first));
            pages = QString::number(first) + u'-';
            if (to) {
                const qint32 last = numberArgument(*to);
                if (last < first)
                    throw AppError(
                        err::ObjectDefined,
                        QStringLiteral("PrintOut method of Workbook class failed: pages %1 to %2")
                            .arg(first)
                            .arg(last));
                pages += QString::number(last);
            }
        }
        if (copies && numberArgument(*copies) != 1)
            throw AppError(err::ObjectDefined,
                           QStringLiteral("PrintOut method of Workbook class failed: only one copy "
                                          "can be printed to a file"));
        if (preview && preview->toBool())
            throw AppError(err::ObjectDefined,
                           QStringLiteral("PrintOut method of Workbook class failed: there is no "
                                          "print preview"));
        if (activePrinter)
            setActivePrinter(m_instance, activePrinter->toString());
        const QString output = prToFileName ? prToFileName->toString() : QString();
        if (!printToFile || !printToFile->toBool() || output.isEmpty())
            throw AppError(err::ObjectDefined,
                           QStringLiteral("PrintOut method of Workbook class failed: the printer "
                                          "'%1' prints to a file only, named by PrToFileName")
                               .arg(m_instance->activePrinter));

        const QString spool = m_instance->newSpoolPath();
        m_instance->run(QStringLiteral("PrintOut method of Workbook class failed"), [&] {
            const css::beans::PropertyValue range = property("PageRange", Any(ou(pages)));
            const Sequence<css::beans::PropertyValue> filterData(&range, pages.isEmpty() ? 0 : 1);
            const css::beans::PropertyValue arguments[] = {
                property("FilterName", Any(OUString("calc_pdf_Export"))),
                property("FilterData", Any(filterData))};
            const Reference<css::frame::XStorable> storable(m_document, UNO_QUERY_THROW);
            storable->storeToURL(fileUrl(spool), Sequence<css::beans::PropertyValue>(arguments, 2));
        });
        if (!m_instance->printers)
            throw AppError(err::ObjectDefined, QStringLiteral("No printers are installed."));
        m_instance->printers->printToFile(m_instance->activePrinter, spool, output,
                                          m_instance->timeLimit());
    }

    void ExportAsFixedFormat(const OptionalArg& type, const OptionalArg& filename,
                             const OptionalArg& quality, const OptionalArg& includeDocProperties,
                             const OptionalArg& ignorePrintAreas, const OptionalArg& from,
                             const OptionalArg& to, const OptionalArg& openAfterPublish,
                             const OptionalArg& pdfA, const OptionalArg& onePagePerSheet) override
    {
        Q_UNUSED(quality);              // the office has one quality
        Q_UNUSED(includeDocProperties); // always written
        if (m_closed)
            throw AppError(err::ObjectNotSet);
        exportWorkbook(*m_instance, m_document, type, filename, ignorePrintAreas, from, to,
                       openAfterPublish, pdfA, onePagePerSheet);
    }

    QList<qint32> SheetPageCounts(const OptionalArg& onePagePerSheet) override
    {
        if (m_closed)
            throw AppError(err::ObjectNotSet);
        return sheetPageCounts(*m_instance, m_document, onePagePerSheet);
    }

    void Close() override
    {
        if (m_closed)
            return;
        m_instance->run(QStringLiteral("Close method of Workbook class failed"), [&] {
            const Reference<css::util::XCloseable> closeable(m_document, UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
            else
                m_document->dispose();
        });
        m_closed = true;
        m_document.clear();
    }

    bool closed() const { return m_closed; }

    // Shared with the host's ActivePrinter.
    static void setActivePrinter(const std::shared_ptr<OfficeInstance>& instance,
                                 const QString& name);

private:
    Reference<css::container::XIndexAccess> sheets() const
    {
        if (m_closed)
            throw AppError(err::ObjectNotSet);
        const Reference<css::sheet::XSpreadsheetDocument> document(m_document, UNO_QUERY_THROW);
        return Reference<css::container::XIndexAccess>(document->getSheets(), UNO_QUERY_THROW);
    }

    std::shared_ptr<OfficeInstance> m_instance;
    Reference<css::lang::XComponent> m_document;
    QString m_name;
    std::shared_ptr<SheetChanges> m_changes = std::make_shared<SheetChanges>();
    bool m_closed = false;
};

void OfficeWorkbook::setActivePrinter(const std::shared_ptr<OfficeInstance>& instance,
                                      const QString& name)
{
    if (!instance->alive())
        throw serverGone();
    // "Quillmer" or "Quillmer on FILE:".
    QString wanted = name.trimmed();
    const qsizetype on = wanted.lastIndexOf(QStringLiteral(" on "));
    const QStringList installed =
        instance->printers ? instance->printers->deviceNames() : QStringList();
    for (const QString& candidate : {wanted, on > 0 ? wanted.left(on) : QString()}) {
        for (const QString& printer : installed) {
            if (!candidate.isEmpty() && printer.compare(candidate, Qt::CaseInsensitive) == 0) {
                instance->activePrinter = printer;
                return;
            }
        }
    }
    throw AppError(err::ObjectDefined,
                   QStringLiteral("The printer '%1' is not installed.").arg(name));
}

AppError cannotOpen(const QString& name, const QString& why)
{
    return AppError(err::ObjectDefined,
                    QStringLiteral("'%1' cannot be opened: %2.").arg(name, why));
}

// The import filters of workbooks: Excel's own formats, and the office's.
bool isWorkbookFilter(const QString& filter)
{
    return filter.startsWith(QLatin1String("MS Excel")) ||
           filter.startsWith(QLatin1String("Calc MS Excel")) || filter == QLatin1String("calc8") ||
           filter == QLatin1String("StarOffice XML (Calc)") ||
           filter == QLatin1String("OpenDocument Spreadsheet Flat XML");
}

} // namespace

std::shared_ptr<Workbook> openWorkbook(const std::shared_ptr<OfficeInstance>& instance,
                                       const QString& path, const PasswordHandler* password)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw AppError(
            err::ObjectDefined,
            QStringLiteral("'%1' could not be found. Check the spelling of the file name, "
                           "and verify that the file location is correct.")
                .arg(QDir::toNativeSeparators(path)));
    if (!info.isReadable())
        throw AppError(err::ObjectDefined,
                       QStringLiteral("'%1' cannot be read.").arg(QDir::toNativeSeparators(path)));
    const QString name = QFileInfo(path).fileName();
    const QString failure = QStringLiteral("'%1' cannot be opened").arg(name);

    auto document = instance->run(failure, [&] {
        const Reference<css::frame::XComponentLoader> loader(instance->desktop(), UNO_QUERY_THROW);
        // Without an interaction handler, whatever would ask (a password, a
        // repair, a text import) fails instead; the password handler
        // answers the password and refuses the rest.
        const css::beans::PropertyValue arguments[] = {
            property("Hidden", Any(true)),
            property("ReadOnly", Any(true)),
            property("MacroExecMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)),
            property("UpdateDocMode", Any(css::document::UpdateDocMode::NO_UPDATE)),
            property("RepairPackage", Any(false)),
            property("InteractionHandler", password ? Any(password->handler()) : Any())};
        const auto refused = [&]() -> std::optional<AppError> {
            const QString why =
                password ? PasswordHandler::refusal(password->outcome()) : QString();
            if (why.isEmpty())
                return std::nullopt;
            return cannotOpen(name, why);
        };
        Reference<css::lang::XComponent> loaded;
        try {
            loaded = loader->loadComponentFromURL(
                fileUrl(info.absoluteFilePath()), OUString("_blank"), 0,
                Sequence<css::beans::PropertyValue>(arguments, password ? 6 : 5));
        } catch (const css::uno::RuntimeException&) {
            throw;
        } catch (const css::uno::Exception&) {
            if (const auto why = refused())
                throw *why;
            throw;
        }
        if (!loaded.is()) {
            if (const auto why = refused())
                throw *why;
            throw cannotOpen(name, password ? QStringLiteral("it is damaged")
                                            : QStringLiteral("it is protected by a password, "
                                                             "or it is damaged"));
        }
        QString filter;
        if (const Reference<css::frame::XModel> model{loaded, UNO_QUERY}; model.is())
            for (const css::beans::PropertyValue& p : model->getArgs())
                if (p.Name == "FilterName") {
                    OUString value;
                    p.Value >>= value;
                    filter = qs(value);
                }
        const Reference<css::sheet::XSpreadsheetDocument> spreadsheet(loaded, UNO_QUERY);
        if (!spreadsheet.is() || !isWorkbookFilter(filter)) {
            const Reference<css::util::XCloseable> closeable(loaded, UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
            throw AppError(
                err::ObjectDefined,
                QStringLiteral("'%1' cannot be opened: it is not a workbook "
                               "(it reads as %2).")
                    .arg(name, filter.isEmpty() ? QStringLiteral("something else") : filter));
        }
        return loaded;
    });
    auto workbook = std::make_shared<OfficeWorkbook>(instance, document, name);
    instance->activeWorkbook = workbook;
    return workbook;
}

bool isClosedWorkbook(const Workbook& workbook)
{
    return static_cast<const OfficeWorkbook&>(workbook).closed();
}

void setOfficeActivePrinter(const std::shared_ptr<OfficeInstance>& instance, const QString& name)
{
    OfficeWorkbook::setActivePrinter(instance, name);
}

} // namespace quillmer::office
