// A worker's office kept from job to job, on real LibreOffice and
// Ghostscript: replaced after a job that did not convert and after its
// number of jobs, and the PDFs the same as from an office of their own;
// and a batch's office hurt in the middle of a job.
#include "cli/batch.h"
#include "cli/worker.h"
#include "support/faultyhost.h"
#include "support/files.h"
#include "support/officeprocesses.h"
#include "support/pdftools.h"

#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <utility>

using namespace quillmer;
using namespace quillmer::cli;
using quillmer::test::corpus;

namespace {

const QString ProgramRegistry = QStringLiteral(QUILLMER_PROGRAM_DIR "/registry.reg");

// The page images of a PDF.
QList<QByteArray> pages(const QString& pdf, const QString& folder)
{
    QList<QByteArray> out;
    for (int page = 1; page <= test::pageSizes(pdf).size(); ++page)
        out << test::pagePixels(pdf, page, folder);
    return out;
}

bool samePages(const QList<QByteArray>& a, const QList<QByteArray>& b)
{
    if (a.isEmpty() || a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!test::samePage(a[i], b[i]))
            return false;
    return true;
}

using At = test::FaultyHost::At;

// A worker's kept office; the first one it hands out is hurt.
class FaultyOffices final : public WorkerOffices
{
public:
    FaultyOffices(At at, int signal)
        : m_real(ProgramRegistry, std::chrono::minutes(2)), m_at(at), m_signal(signal)
    {
    }
    std::unique_ptr<office::SpreadsheetHost> create() override
    {
        auto host = m_real.create();
        const pid_t office = std::exchange(m_armed, false) ? m_real.processId() : 0;
        return std::make_unique<test::FaultyHost>(std::move(host), office, m_at, m_signal);
    }
    void jobEnded(bool converted) override { m_real.jobEnded(converted); }
    void killOffices() noexcept override { m_real.killOffices(); }
    void close() override { m_real.close(); }
    void resetPeak() override { m_real.resetPeak(); }
    double peakMb() const override { return m_real.peakMb(); }

private:
    ReusedOffices m_real;
    At m_at;
    int m_signal;
    bool m_armed = true;
};

struct Outcomes final : BatchObserver
{
    void started(int) override {}
    void jobDone(const BatchJob& job, const JobOutcome& outcome) override
    {
        of[QFileInfo(job.target).fileName()] = outcome;
    }
    QMap<QString, JobOutcome> of;
};

} // namespace

class TestOfficeReuse : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(test::ourOfficeProcesses(), QList<pid_t>()); }

    // Three jobs an office: good, good, broken (the office is replaced),
    // good, good, good (the third ends it). The broken workbook costs no
    // other job, and a workbook converted on a used office gives the same
    // pages as on an office of its own.
    void keptAndReplaced()
    {
        QTemporaryDir dir;
        const WorkerSetup setup{
            ProgramRegistry, ConversionOptions{}, std::chrono::minutes(2), dir.filePath("scratch"),
            false,           CommandRequest{}};
        const QString sample = corpus("xls/poi_SampleSS.xls");
        const QString unicode = corpus("xls/edr_TestUnicodeChars.xls");
        const QList<BatchJob> jobs{{unicode, dir.filePath("1.pdf")},
                                   {sample, dir.filePath("2.pdf")},
                                   {corpus("bad/edr_TestFail_Binary.xls"), dir.filePath("3.pdf")},
                                   {unicode, dir.filePath("4.pdf")},
                                   {unicode, dir.filePath("5.pdf")},
                                   {sample, dir.filePath("6.pdf")}};
        auto offices = std::make_unique<ReusedOffices>(ProgramRegistry, std::chrono::minutes(2), 3);
        ReusedOffices& kept = *offices;
        Worker worker(1, setup, std::move(offices));
        QList<JobOutcome::Status> statuses;
        QList<pid_t> office;
        for (int i = 0; i < jobs.size(); ++i) {
            statuses << worker.convert(jobs[i], i).status;
            office << kept.processId();
        }
        worker.close();

        using S = JobOutcome::Status;
        QCOMPARE(statuses, (QList<S>{S::Converted, S::Converted, S::Failed, S::Converted,
                                     S::Converted, S::Converted}));
        QVERIFY(office[0] > 0);
        QCOMPARE(office[1], office[0]);
        QCOMPARE(office[2], 0);
        QVERIFY(office[3] > 0 && office[3] != office[0]);
        QCOMPARE(office[4], office[3]);
        QCOMPARE(office[5], 0);

        Worker fresh(2, setup,
                     std::make_unique<FreshOffices>(ProgramRegistry, std::chrono::minutes(2)));
        QCOMPARE(fresh.convert({sample, dir.filePath("fresh.pdf")}, 0).status, S::Converted);
        fresh.close();
        const QList<QByteArray> own = pages(dir.filePath("fresh.pdf"), dir.path());
        QCOMPARE(own.size(), 2);
        QVERIFY(samePages(pages(dir.filePath("2.pdf"), dir.path()), own));
        QVERIFY(samePages(pages(dir.filePath("6.pdf"), dir.path()), own));
    }

    // The office of a batch's first job is killed as the workbook opens, as
    // it prints, or as the workbook closes once the PDF is written, or it
    // freezes past the batch's time-out. A job whose PDF is in place has
    // converted, whatever became of its office after; any other fails with
    // its reason and leaves no target. The office is replaced, the second
    // job converts and no office is left.
    void officeHurtMidJob_data()
    {
        QTest::addColumn<At>("at");
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<QString>("reason");
        QTest::newRow("killed at open") << At::Open << SIGKILL << false << QString();
        QTest::newRow("killed at print") << At::Print << SIGKILL << false << QString();
        QTest::newRow("killed at close") << At::Close << SIGKILL << true << QString();
        QTest::newRow("frozen past the time-out")
            << At::Open << SIGSTOP << false
            << QString("timed out after 10 s; its office was ended");
    }
    void officeHurtMidJob()
    {
        QFETCH(At, at);
        QFETCH(int, signal);
        QFETCH(bool, converts);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        BatchSettings settings;
        settings.setup = WorkerSetup{
            ProgramRegistry, ConversionOptions{}, std::chrono::seconds(10), dir.filePath("scratch"),
            false,           CommandRequest{}};
        settings.offices = [=] { return std::make_unique<FaultyOffices>(at, signal); };
        const QString sample = corpus("xls/poi_SampleSS.xls");
        Outcomes outcomes;
        const BatchSummary summary = runBatch(
            {{sample, dir.filePath("1.pdf")}, {sample, dir.filePath("2.pdf")}}, settings, outcomes);

        QCOMPARE(summary.converted, converts ? 2 : 1);
        QCOMPARE(summary.failed, converts ? 0 : 1);
        const JobOutcome first = outcomes.of.value("1.pdf");
        if (converts) {
            QCOMPARE(first.status, JobOutcome::Status::Converted);
            QCOMPARE(first.pages, 2);
        } else {
            QCOMPARE(first.status, JobOutcome::Status::Failed);
            QVERIFY2(reason.isEmpty() ? !first.error.trimmed().isEmpty() : first.error == reason,
                     qPrintable(first.error));
            QVERIFY(!QFileInfo::exists(dir.filePath("1.pdf")));
        }
        QCOMPARE(outcomes.of.value("2.pdf").status, JobOutcome::Status::Converted);
        QCOMPARE(test::pageSizes(dir.filePath("2.pdf")).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestOfficeReuse)
#include "tst_officereuse.moc"
