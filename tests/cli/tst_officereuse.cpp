// A worker's office kept from job to job, on real LibreOffice and
// Ghostscript: replaced after a job that did not convert and after its
// number of jobs, and the PDFs the same as from an office of their own.
#include "cli/worker.h"
#include "support/files.h"
#include "support/officeprocesses.h"
#include "support/pdftools.h"

#include <QTemporaryDir>
#include <QTest>

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
        const WorkerSetup setup{ProgramRegistry, ConversionOptions{}, std::chrono::minutes(2),
                                dir.filePath("scratch")};
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
};

QTEST_GUILESS_MAIN(TestOfficeReuse)
#include "tst_officereuse.moc"
