#include "cli/worker.h"

#include "engine/jobstatus.h"
#include "engine/pdfpages.h"
#include "errors/trap.h"
#include "jobs/joblist.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace quillmer::cli {

// The job's row: its file name, and whether the conversion marked it
// "Completed". That comes right after the whole PDF is in place, and stays
// true when ending the workbook and its office fails afterwards (the row then
// reads "Failed"): an office killed then, by a time-out or Ctrl-C, does not
// undo a target that is written.
class Worker::Statuses : public JobStatusSink
{
public:
    void UpdateListViewStatus(qint16, const QString& s) noexcept override
    {
        status = s;
        completed = completed || s == JobStatus::Completed;
    }
    QString rowText(qint16) const override { return fileName; }
    QString fileName, status;
    bool completed = false;
};

// The message boxes of the job, kept instead of shown.
class Worker::Messages : public MessageBoxService, public PointerService
{
public:
    MessageAnswer show(const QString& text, MessageIcon icon, MessageButtons) override
    {
        if (icon == MessageIcon::Critical || icon == MessageIcon::None)
            problems << text;
        return MessageAnswer::Ok;
    }
    void setBusy() override {}
    void setDefault() override {}
    QStringList problems;
};

// The error handler's answers as ever; each failure is kept as well.
class Worker::Failures : public ErrorHandler
{
public:
    explicit Failures(Messages& messages) : ErrorHandler(messages, messages) {}
    bool HandleError(qint32 number, const QString& description, const QString& label) override
    {
        descriptions << (description.isEmpty() ? QStringLiteral("error %1").arg(number)
                                               : description);
        return ErrorHandler::HandleError(number, description, label);
    }
    QStringList descriptions;
};

// "End the program" ends the batch after this job.
class Worker::Exit : public ProgramExit
{
public:
    void EndProgram() override { asked = true; }
    bool asked = false;
};

namespace {

class NoShell : public DocumentShell
{
public:
    void ShellOpen(const QString&) override {}
};

} // namespace

Worker::Worker(int number, const WorkerSetup& setup, std::unique_ptr<WorkerOffices> offices)
    : m_setup(setup), m_options(setup.print), m_statuses(std::make_unique<Statuses>()),
      m_messages(std::make_unique<Messages>()), m_errors(std::make_unique<Failures>(*m_messages)),
      m_exit(std::make_unique<Exit>()), m_shell(std::make_unique<NoShell>()),
      m_offices(std::move(offices)), m_printers(setup.registryPath), m_registry(setup.registryPath),
      m_scratch(setup.scratchRoot + QStringLiteral("/worker-%1").arg(number))
{
    m_session = std::make_unique<ConversionSession>(ConversionSessionContext{
        m_options, *m_statuses, *m_messages, *m_errors, *m_shell, *m_exit,
        ConversionServices{*m_offices, m_printers, m_runner, m_registry, m_version, m_scratch}});
}

Worker::~Worker() = default;

QString Worker::failureText() const
{
    if (!m_errors->descriptions.isEmpty())
        return m_errors->descriptions.last();
    if (!m_messages->problems.isEmpty())
        return m_messages->problems.last();
    return QStringLiteral("the conversion failed");
}

JobOutcome Worker::convert(const BatchJob& job, int serial)
{
    QElapsedTimer clock;
    clock.start();
    {
        std::lock_guard lock(m_mutex);
        m_current = serial;
        m_calledOff.reset();
        m_runner.resume();
    }
    m_statuses->fileName = JobList::fileNameOf(job.source);
    m_statuses->status.clear();
    m_statuses->completed = false;
    m_messages->problems.clear();
    m_errors->descriptions.clear();
    m_exit->asked = false;

    JobOutcome outcome;
    bool converted = false, endedCleanly = false;
    const QString folder = QFileInfo(job.target).absolutePath();
    m_offices->resetPeak();
    if (!QDir().mkpath(folder)) {
        outcome.error = QStringLiteral("the folder '%1' cannot be made").arg(folder);
    } else if (!m_setup.asWindow) {
        outcome.pdfs = convertAsCommand(job, endedCleanly);
        converted = !outcome.pdfs.isEmpty();
    } else if (const auto escaped =
                   captureError([&] { m_session->convert(job.source, job.target); })) {
        m_errors->descriptions << escaped->description();
    }
    {
        std::lock_guard lock(m_mutex);
        m_current = -1;
    }
    if (m_setup.asWindow) {
        converted = m_statuses->completed;
        endedCleanly = m_statuses->status == JobStatus::Completed;
        if (converted)
            outcome.pdfs = {{job.target, QString(), pdfPageCount(job.target)}};
    }
    // An office that failed to end the workbook is not trusted with the next.
    m_offices->jobEnded(converted && endedCleanly && !m_calledOff);
    outcome.officePeakMb = m_offices->peakMb();

    outcome.seconds = clock.nsecsElapsed() / 1e9;
    outcome.endsBatch = m_exit->asked;
    if (m_calledOff == Reason::Interrupted) {
        outcome.interrupted = !converted;
        outcome.error = QStringLiteral("interrupted");
    } else if (m_calledOff == Reason::TimedOut && !converted) {
        outcome.error = QStringLiteral("timed out after %1 s; its office was ended")
                            .arg(m_setup.timeout.count() / 1000.0);
    } else if (!converted && outcome.error.isEmpty()) {
        outcome.error = failureText();
    }
    if (converted) {
        outcome.status = JobOutcome::Status::Converted;
        for (const JobOutcome::Pdf& pdf : outcome.pdfs)
            outcome.pages += pdf.pages;
        outcome.error.clear();
    }
    return outcome;
}

QList<JobOutcome::Pdf> Worker::convertAsCommand(const BatchJob& job, bool& endedCleanly)
{
    QList<JobOutcome::Pdf> pdfs;
    const auto escaped = captureError([&] {
        const ConversionOutput output =
            m_session->command().convert(job.source, job.target, m_setup.request);
        for (const WrittenPdf& pdf : output.written)
            pdfs << JobOutcome::Pdf{pdf.target, pdf.sheet, pdf.pages};
        endedCleanly = output.endedCleanly;
    });
    if (escaped)
        m_errors->descriptions << escaped->description();
    return pdfs;
}

void Worker::callOff(int serial, Reason reason)
{
    std::lock_guard lock(m_mutex);
    if (serial != m_current || m_calledOff)
        return;
    m_calledOff = reason;
    m_offices->killOffices();
    m_runner.stop();
}

} // namespace quillmer::cli
