#include "office/officeinstance.h"

#include "platform/failure.h"

#include <QFile>
#include <QRandomGenerator>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <unistd.h>

namespace quillmer::office {

using Clock = std::chrono::steady_clock;

AppError serverGone()
{
    return AppError(hosterr::ServerUnavailable,
                    QStringLiteral("The remote server machine does not exist or is unavailable"));
}

OfficeInstance::OfficeInstance(const QString& programFolder,
                               std::shared_ptr<printqueue::InstalledPrinters> printers_,
                               milliseconds timeLimit)
try : printers(std::move(printers_)), m_timeLimit(timeLimit) {
    const QString executable = OfficeProcess::executableIn(programFolder);
    try {
        start(executable);
    } catch (const platform::Failure&) {
        // A prepared profile the office cannot start from is forgotten, and
        // the office starts again with a fresh one.
        if (!m_process.seeded() || m_process.expired()) {
            m_process.removeFolder();
            throw;
        }
        abandon();
        m_process.replaceSeededProfile();
        try {
            start(executable);
        } catch (const platform::Failure&) {
            m_process.removeFolder();
            throw;
        }
    }
    const QStringList names = printers ? printers->deviceNames() : QStringList();
    activePrinter = names.value(0);
} catch (const platform::Failure& failure) {
    // Creating the instance is where the automation caller is answered:
    // whatever kept the office from starting is error 429.
    throw uno::cannotCreate(failure.message());
}

OfficeInstance::~OfficeInstance()
{
    quit();
}

void OfficeInstance::start(const QString& executable)
{
    const QString pipeName =
        QStringLiteral("quillmer-%1-%2")
            .arg(::getpid())
            .arg(QRandomGenerator::system()->generate64(), 16, 16, QChar(u'0'));
    const QString late = QStringLiteral("LibreOffice did not answer within %1 seconds")
                             .arg(m_timeLimit.count() / 1000.0);
    uno::localContext(); // before the clock starts: once per program

    m_process.arm(m_timeLimit);
    const auto deadline = Clock::now() + m_timeLimit;
    m_process.launch(executable, pipeName);
    m_alive = true;
    int restarts = 0;
    QString failure;
    const auto keepTrying = [&] {
        if (m_process.expired() || Clock::now() >= deadline) {
            failure = late;
            return false;
        }
        if (!m_process.hasEnded())
            return true;
        // A fresh profile makes the office restart itself once (exit code 81).
        if (m_process.exitCode() == 81 && restarts++ < 3) {
            m_process.launch(executable, pipeName);
            return true;
        }
        failure =
            QStringLiteral("LibreOffice ended while starting (%1)").arg(m_process.howItEnded());
        return false;
    };
    try {
        m_connection = uno::connect(pipeName, keepTrying);
        if (m_connection.desktop.is())
            uno::markProfileCurrent(m_connection.remote);
    } catch (const uno::css::uno::Exception& e) {
        failure = m_process.expired()
                      ? late
                      : QStringLiteral("cannot connect to LibreOffice (%1)").arg(uno::message(e));
    }
    m_process.disarm();
    if (!failure.isEmpty() || !m_connection.desktop.is()) {
        abandon();
        throw platform::Failure(failure.isEmpty() ? late : failure);
    }
}

bool OfficeInstance::answers(milliseconds limit)
{
    if (!m_alive || m_process.hasEnded()) {
        abandon();
        return false;
    }
    const milliseconds saved = m_timeLimit;
    m_timeLimit = limit;
    bool ok = false;
    try {
        run(QString(), [&] { ok = m_connection.desktop->getComponents().is(); });
    } catch (const AppError&) {
        // No answer within the limit, or none at all: ok stays false.
    }
    m_timeLimit = saved;
    if (!ok)
        abandon();
    return ok;
}

void OfficeInstance::warmUp()
{
    using namespace uno;
    const QString workbook = m_process.newSpoolPath() + QStringLiteral(".xls");
    const QString spool = m_process.newSpoolPath();
    const auto close = [](const Reference<css::lang::XComponent>& document) {
        const Reference<css::util::XCloseable> closeable(document, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
    };
    try {
        run(QString(), [&] {
            const Reference<css::frame::XComponentLoader> loader(m_connection.desktop,
                                                                 UNO_QUERY_THROW);
            const css::beans::PropertyValue hidden = property("Hidden", Any(true));
            Reference<css::lang::XComponent> made =
                loader->loadComponentFromURL(OUString("private:factory/scalc"), OUString("_blank"),
                                             0, Sequence<css::beans::PropertyValue>(&hidden, 1));
            {
                const Reference<css::sheet::XSpreadsheetDocument> document(made, UNO_QUERY_THROW);
                const Reference<css::container::XIndexAccess> sheets(document->getSheets(),
                                                                     UNO_QUERY_THROW);
                const Reference<css::table::XCellRange> sheet(sheets->getByIndex(0),
                                                              UNO_QUERY_THROW);
                sheet->getCellByPosition(0, 0)->setFormula(OUString("Warm"));
                const css::beans::PropertyValue filter =
                    property("FilterName", Any(OUString("MS Excel 97")));
                Reference<css::frame::XStorable>(made, UNO_QUERY_THROW)
                    ->storeToURL(fileUrl(workbook),
                                 Sequence<css::beans::PropertyValue>(&filter, 1));
            }
            close(made);
            const css::beans::PropertyValue arguments[] = {property("Hidden", Any(true)),
                                                           property("ReadOnly", Any(true))};
            const Reference<css::lang::XComponent> loaded =
                loader->loadComponentFromURL(fileUrl(workbook), OUString("_blank"), 0,
                                             Sequence<css::beans::PropertyValue>(arguments, 2));
            const css::beans::PropertyValue exportArguments[] = {
                property("FilterName", Any(OUString("calc_pdf_Export")))};
            Reference<css::frame::XStorable>(loaded, UNO_QUERY_THROW)
                ->storeToURL(fileUrl(spool),
                             Sequence<css::beans::PropertyValue>(exportArguments, 1));
            close(loaded);
        });
    } catch (const AppError&) {
        // A warm-up that failed leaves an office that works, only slower.
    }
    QFile::remove(workbook);
    QFile::remove(spool);
    if (printers)
        printers->prepare();
}

void OfficeInstance::abandon()
{
    m_process.disarm();
    m_process.kill();
    m_alive = false;
    // Dropping the references may talk to the dead bridge; it only fails.
    try {
        m_connection.desktop.clear();
        m_connection.remote.clear();
        if (m_connection.bridge.is())
            m_connection.bridge->dispose();
    } catch (const uno::css::uno::Exception&) {
    }
    m_connection.bridge.clear();
}

void OfficeInstance::throwTimeout()
{
    abandon();
    m_process.removeFolder();
    throw AppError(hosterr::AutomationError,
                   QStringLiteral("Automation error: LibreOffice did not answer within %1 "
                                  "seconds, so it was ended")
                       .arg(m_timeLimit.count() / 1000.0));
}

void OfficeInstance::quit()
{
    if (!m_alive) {
        abandon();
        return;
    }
    // Ask politely, then insist.
    m_process.arm(std::min(m_timeLimit, milliseconds(30000)));
    try {
        if (m_connection.desktop.is())
            m_connection.desktop->terminate();
    } catch (const uno::css::uno::Exception&) {
        // An office that will not end is made to below.
    }
    m_process.disarm();
    try {
        if (m_connection.bridge.is())
            m_connection.bridge->dispose();
    } catch (const uno::css::uno::Exception&) {
    }
    const bool ended = m_process.waitForEnd(milliseconds(10000));
    if (ended && m_process.exitCode() == 0)
        m_process.keepProfile();
    if (!ended)
        m_process.end(milliseconds(5000));
    abandon();
    m_process.removeFolder();
}

} // namespace quillmer::office
