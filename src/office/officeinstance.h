#pragma once

// A running office and its connection, shared by the host and every
// workbook, sheet and page set-up it hands out. Only the office host's own
// files (and the tests' helper that makes workbooks with an office) include
// this header.

#include "errors/apperror.h"
#include "office/officeprocess.h"
#include "office/spreadsheethost.h"
#include "office/unoruntime.h"
#include "printqueue/printers.h"

#include <chrono>
#include <memory>

namespace quillmer::office {

class OfficeInstance
{
public:
    using milliseconds = std::chrono::milliseconds;

    // Starts an office from programFolder and connects to it, all within
    // timeLimit. Error 429 when it cannot be started or does not answer.
    OfficeInstance(const QString& programFolder,
                   std::shared_ptr<printqueue::InstalledPrinters> printers, milliseconds timeLimit);
    ~OfficeInstance();

    // Runs one call into the office under the time limit. UNO failures
    // become AppError(1004, failure: message); an overrun kills the instance
    // and raises 440; a dead instance raises 462.
    template <typename F> auto run(const QString& failure, F&& f) -> decltype(f());

    // Whether the office still runs and answers a call within limit. One
    // that does not is ended.
    bool answers(milliseconds limit);
    // Has the office do once, on a workbook of its own, what every
    // conversion makes it do (load a workbook, export it as a spool), so
    // that the first conversion does not wait for the office to load its
    // spreadsheet, import and export code. Failures are ignored: a warm-up
    // that failed leaves an office that still works, only slower.
    void warmUp();
    // Ends the office: asked to terminate, then made to. A profile it left
    // cleanly becomes the prepared profile of later instances.
    void quit();
    // Kills the office's group at once; from any thread, for the end of the
    // program.
    void killNow() { m_process.killGroup(); }

    bool alive() const { return m_alive; }
    pid_t pid() const { return m_alive ? m_process.pid() : 0; }
    QString profileFolder() const { return m_process.profileFolder(); }
    QString newSpoolPath() { return m_process.newSpoolPath(); }
    milliseconds timeLimit() const { return m_timeLimit; }
    void setTimeLimit(milliseconds limit) { m_timeLimit = limit; }

    uno::Reference<uno::css::frame::XDesktop2> desktop() const { return m_connection.desktop; }

    std::shared_ptr<printqueue::InstalledPrinters> printers;
    QString activePrinter;
    std::weak_ptr<Workbook> activeWorkbook;

private:
    void start(const QString& executable);
    // After a kill or a crash: reap the office and forget the connection.
    void abandon();
    [[noreturn]] void throwTimeout();

    milliseconds m_timeLimit;
    OfficeProcess m_process;
    uno::Connection m_connection;
    bool m_alive = false;
};

AppError serverGone();

template <typename F> auto OfficeInstance::run(const QString& failure, F&& f) -> decltype(f())
{
    if (!m_alive)
        throw serverGone();
    struct Armed
    {
        OfficeProcess& process;
        ~Armed() { process.disarm(); }
    } armed{m_process};
    m_process.arm(m_timeLimit);
    try {
        return f();
    } catch (const AppError&) {
        if (m_process.expired())
            throwTimeout();
        throw;
    } catch (const uno::css::uno::Exception& e) {
        if (m_process.expired())
            throwTimeout();
        if (m_process.hasEnded()) {
            abandon();
            m_process.removeFolder();
            throw serverGone();
        }
        const QString message = uno::message(e);
        throw AppError(err::ObjectDefined,
                       message.isEmpty() ? failure : failure + QStringLiteral(": ") + message);
    }
}

} // namespace quillmer::office
