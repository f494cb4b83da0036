// The whole road, from the Convert button to the PDFs, on real LibreOffice
// and real Ghostscript.
#include "convertboxes.h"
#include "frontend/conversionsession.h"
#include "office/spareoffice.h"
#include "support/enginefakes.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/officeprocesses.h"
#include "support/pathboxes.h"
#include "support/pdftools.h"
#include "support/registrytext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <signal.h>

using namespace quillmer;
using quillmer::test::nearSize;
using quillmer::test::pageSizes;

using quillmer::test::corpus;

using RecordingShell = quillmer::test::RecordingDocumentShell;
using RecordingExit = quillmer::test::RecordingProgramExit;

namespace {

using quillmer::test::ProgramRegistry;

QByteArray checksum(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

// The program's hosts, each office process noted as it is handed out.
struct NotedHosts : office::SpreadsheetHostFactory
{
    explicit NotedHosts(const QString& registry) : spares(registry) {}
    std::unique_ptr<office::SpreadsheetHost> create() override
    {
        auto host = spares.create();
        offices << static_cast<office::LibreOfficeHost&>(*host).processId();
        return host;
    }
    office::SpareOfficeHosts spares;
    QList<pid_t> offices;
};

// The batch run of the Convert button on the program's real services, the
// dialogs, shell and exit recorded.
struct BatchRig
{
    BatchRig(const QString& registryPath, const QString& scratchFolder)
        : hosts(registryPath), printers(registryPath), registry(registryPath),
          scratch(scratchFolder)
    {
    }

    FixedConversionOptions options;
    JobList list;
    JobListStatus status{list};
    test::FakeMessageBox messages;
    test::FakePointer pointer;
    ErrorHandler errors{messages, pointer};
    RecordingShell shell;
    RecordingExit exit;
    NotedHosts hosts;
    printqueue::RegistryPrinters printers;
    ProcessCommandRunner runner;
    Registry registry;
    NoWindowsVersion version;
    ScratchFolder scratch;
    test::Boxes boxes;
    test::PathBoxesInMemory paths;
    JobHandlers handlers{list, paths, messages, errors};
    ConversionSession session{
        ConversionSessionContext{
            options, status, messages, errors, shell, exit,
            ConversionServices{hosts, printers, runner, registry, version, scratch}},
        BatchRunControls{boxes, paths, list, handlers, pointer}};
};

} // namespace

class TestConvertBatch : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(test::ourOfficeProcesses(), QList<pid_t>()); }

    // Good, corrupt, good: Completed, Failed, Completed; one message per
    // good job in order (the corrupt one goes to HandleError, which shows
    // nothing for it); the PDFs have the chosen paper and orientation. The
    // spare office was killed before Convert: it is replaced quietly, and
    // every job gets an office of its own.
    void threeJobs()
    {
        QTemporaryDir dir;
        BatchRig rig(ProgramRegistry, dir.filePath("cache"));
        rig.options.options().paperSize = "Letter";
        rig.options.options().landscape = true;
        rig.options.options().openAfterConversion = 1;
        rig.hosts.spares.prepare();
        const pid_t killed = rig.hosts.spares.waitForSpare(std::chrono::minutes(1));
        QVERIFY(killed > 0);
        ::kill(killed, SIGKILL);

        const QString bad = corpus("bad/edr_TestFail_Binary.xls");
        const QByteArray badBefore = checksum(bad);
        const QStringList targets{dir.filePath("sample.pdf"), dir.filePath("broken.pdf"),
                                  dir.filePath("unicode.pdf")};
        rig.list.append(corpus("xls/poi_SampleSS.xls"), targets[0]);
        rig.list.append(bad, targets[1]);
        // The third waits in the path boxes.
        rig.paths.source = corpus("xls/edr_TestUnicodeChars.xls");
        rig.paths.target = targets[2];

        rig.session.batchRun().cmdConvert_Click();

        QCOMPARE(rig.list.count(), qint16(3));
        QCOMPARE(rig.list.job(1).status, JobStatus::Completed);
        QCOMPARE(rig.list.job(2).status, JobStatus::Failed);
        QCOMPARE(rig.list.job(3).status, JobStatus::Completed);
        QCOMPARE(rig.messages.texts(),
                 (QStringList{"POI_SAMPLESS.XLS Converted Successfully.",
                              "EDR_TESTUNICODECHARS.XLS Converted Successfully."}));
        QCOMPARE(rig.shell.opened, (QStringList{targets[0], targets[2]}));
        QCOMPARE(rig.exit.calls, 0);
        QVERIFY(!rig.pointer.busy);
        QCOMPARE(rig.paths.source, QString());

        // Letter is 612 x 792 points; the first sheet is landscape, the
        // second sheet of the sample keeps its own portrait set-up.
        const QList<QSizeF> sample = pageSizes(targets[0]);
        QCOMPARE(sample.size(), 2);
        QVERIFY(nearSize(sample[0], QSizeF(792, 612)));
        QVERIFY(sample[1].width() < sample[1].height());
        const QList<QSizeF> unicode = pageSizes(targets[2]);
        QCOMPARE(unicode.size(), 1);
        QVERIFY(nearSize(unicode[0], QSizeF(792, 612)));
        QVERIFY(!QFile::exists(targets[1]));
        QCOMPARE(checksum(bad), badBefore);
        QVERIFY(!QFile::exists(rig.scratch.pdfTempFile()));

        QCOMPARE(rig.hosts.offices.size(), 3);
        QVERIFY(!rig.hosts.offices.contains(killed));
        QCOMPARE(QSet<pid_t>(rig.hosts.offices.begin(), rig.hosts.offices.end()).size(), 3);
    }

    // Without LibreOffice the spare cannot start, nor can the fresh start
    // after it, nor the trap's new host: error 429 leaves each job "Failed"
    // and the batch goes on.
    void noOffice()
    {
        QTemporaryDir dir;
        const QString registryPath = dir.filePath("registry.reg");
        test::writeFile(registryPath, test::programRegistryWithOffice(dir.filePath("no-office")));
        BatchRig rig(registryPath, dir.filePath("cache"));
        rig.hosts.spares.prepare();
        rig.list.append(corpus("xls/poi_SampleSS.xls"), dir.filePath("a.pdf"));
        rig.list.append(corpus("xls/edr_TestUnicodeChars.xls"), dir.filePath("b.pdf"));
        QVERIFY(rig.hosts.spares.waitForSpare(std::chrono::minutes(1)) == 0);

        rig.session.batchRun().cmdConvert_Click();

        QCOMPARE(rig.list.job(1).status, JobStatus::Failed);
        QCOMPARE(rig.list.job(2).status, JobStatus::Failed);
        QVERIFY(rig.messages.texts().isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("a.pdf")));
        QVERIFY(!rig.pointer.busy);
    }
};

QTEST_GUILESS_MAIN(TestConvertBatch)
#include "tst_convertbatch.moc"
