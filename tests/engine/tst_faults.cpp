// The fault matrix of the conversion road, with real offices, real
// Ghostscript and real files: each fault is injected into a running
// conversion, and afterwards no office is left, no target is half written,
// and the next job still runs. docs/reliability.md lists the rows.
#include "office/spareoffice.h"
#include "pipelinerig.h"
#include "platform/profilefile.h"
#include "support/faultyhost.h"
#include "support/officeprocesses.h"
#include "support/pdftools.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <thread>

using namespace quillmer;
using namespace quillmer::test;

namespace {

const QString SampleBook = corpus("xls/poi_SampleSS.xls");

bool isPdf(const QString& path)
{
    return QFile::exists(path) && !pageSizes(path).isEmpty();
}

// Waits, generously, until the program has no office left.
bool noOfficeOf(pid_t program, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!ourOfficeProcesses(program).isEmpty()) {
        if (clock.elapsed() > limitMs)
            return false;
        QTest::qWait(50);
    }
    return true;
}

// A limit on the size of the files this process (and what it starts from
// now on) writes; a write past it fails as on a full disk.
class FileSizeLimit
{
public:
    FileSizeLimit() { ::getrlimit(RLIMIT_FSIZE, &m_old); }
    ~FileSizeLimit() { lift(); }
    void apply(rlim_t bytes)
    {
        rlimit small = m_old;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    void lift() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

// The window's batch in a process of its own, as the program runs it: a
// spare office started ahead, the shared scratch folder under cacheFolder,
// SETTINGS.INI rewritten for every job (as picking a file does). Exits 0
// when every job completed.
int runBatch(const QStringList& arguments)
{
    const QString cacheFolder = arguments.value(0);
    const QString settings = arguments.value(1);
    SpareOfficeHosts spare(ProgramRegistry);
    spare.prepare();
    Rig rig(programGhostscript(), ProgramRegistry, cacheFolder);
    rig.hosts.source = &spare;
    rig.jobs.rowTexts.clear();
    const QStringList targets = arguments.mid(2);
    for (qsizetype i = 0; i < targets.size(); ++i)
        rig.jobs.rowTexts << QStringLiteral("Book%1.xls").arg(i + 1);
    bool allCompleted = true;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        platform::ProfileFile::writeString(settings, "SETTINGS", "OUTPUTPATH", targets[i]);
        rig.convert(SampleBook, targets[i], qint16(i + 1));
        allCompleted =
            allCompleted && rig.jobs.statuses(qint16(i + 1)) == QStringList{JobStatus::Completed};
    }
    spare.end();
    return allCompleted ? 0 : 1;
}

QProcess* startBatch(QObject* parent, const QString& cacheFolder, const QString& settings,
                     const QStringList& targets)
{
    auto* batch = new QProcess(parent);
    batch->setProcessChannelMode(QProcess::ForwardedChannels);
    batch->start(QCoreApplication::applicationFilePath(),
                 QStringList{"--batch", cacheFolder, settings} + targets);
    return batch;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(noOfficeOf(::getpid(), 30000)); }

    // The office killed or frozen in the middle of a conversion.
    void officeFaults_data()
    {
        QTest::addColumn<FaultyHost::At>("at");
        QTest::addColumn<int>("signal");
        QTest::newRow("killed during open") << FaultyHost::At::Open << int(SIGKILL);
        QTest::newRow("killed during print") << FaultyHost::At::Print << int(SIGKILL);
        QTest::newRow("frozen past the time limit") << FaultyHost::At::Open << int(SIGSTOP);
    }

    void officeFaults()
    {
        QFETCH(FaultyHost::At, at);
        QFETCH(int, signal);
        Rig rig;
        rig.hosts.wrap = [&](std::unique_ptr<SpreadsheetHost> host, LibreOfficeHost& office) {
            office.setTimeLimit(std::chrono::seconds(5));
            return std::unique_ptr<SpreadsheetHost>(
                new FaultyHost(std::move(host), office.processId(), at, signal));
        };
        writeFile(rig.target("out.pdf"), "old");
        rig.convert(SampleBook, rig.target("out.pdf"));
        QCOMPARE(rig.jobs.statuses(1), (QStringList{JobStatus::Failed}));
        QCOMPARE(rig.messages.texts(), QStringList()); // "Failed", and no message
        QCOMPARE(readFile(rig.target("out.pdf")), QByteArray("old"));
        QVERIFY(noOfficeOf(::getpid(), 30000));

        rig.hosts.wrap = nullptr;
        rig.convert(SampleBook, rig.target("next.pdf"), 2);
        QCOMPARE(rig.jobs.statuses(2), (QStringList{JobStatus::Completed}));
        QVERIFY(isPdf(rig.target("next.pdf")));
    }

    // Ghostscript killed, the scratch folder full, the target's disk full.
    void ghostscriptAndDiskFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("messages");
        const QStringList failed{ConversionEngine::failedMessage()};
        QTest::newRow("Ghostscript killed during a run") << "killed" << failed;
        QTest::newRow("scratch folder full") << "scratch full" << failed;
        QTest::newRow("target folder full") << "target full" << QStringList();
    }

    void ghostscriptAndDiskFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, messages);
        Rig rig;
        FileSizeLimit limit;
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails, as on a full disk
        if (fault == "killed") {
            const QString gs = rig.target("gs");
            writeScript(gs, "case \"$*\" in *pdfwrite*) kill -KILL $$ ;; esac\nexec '" +
                                programGhostscript().toUtf8() + "' \"$@\"\n");
            registryWithGhostscript(rig.dir.path(), gs);
        } else if (fault == "scratch full") {
            rig.runner.whileRunning = [&] { limit.apply(1000); };
            rig.runner.afterRunning = [&](const QString&) { limit.lift(); };
        } else {
            rig.runner.afterRunning = [&](const QString& command) {
                if (command.contains("-sDEVICE=pdfwrite"))
                    limit.apply(1000);
            };
        }
        writeFile(rig.target("out.pdf"), "old");
        rig.convert(SampleBook, rig.target("out.pdf"));
        limit.lift();
        QCOMPARE(rig.jobs.statuses(1).last(), JobStatus::Failed);
        QCOMPARE(rig.messages.texts(), messages);
        QCOMPARE(readFile(rig.target("out.pdf")), QByteArray("old"));
        if (!messages.isEmpty()) // no PDF of a failed run passes for a good one
            QVERIFY(!QFile::exists(rig.scratch.pdfFile()));
        QCOMPARE(QDir(rig.dir.path()).entryList({".out.pdf*"}, QDir::Files | QDir::Hidden),
                 QStringList());

        rig.runner.whileRunning = nullptr;
        rig.runner.afterRunning = nullptr;
        registryWithGhostscript(rig.dir.path(), programGhostscript());
        rig.convert(SampleBook, rig.target("out.pdf"), 2);
        QCOMPARE(rig.jobs.statuses(2), (QStringList{JobStatus::Completed}));
        QVERIFY(isPdf(rig.target("out.pdf")));
    }

    // Ghostscript (the GSPath file) removed between two jobs: the second
    // ends the program with its message before any office starts.
    void ghostscriptRemovedBetweenJobs()
    {
        QTemporaryDir bin;
        const QString gs = bin.filePath("gs");
        QVERIFY(QFile::link(programGhostscript(), gs));
        Rig rig(gs);
        rig.convert(SampleBook, rig.target("one.pdf"), 1);
        QVERIFY(isPdf(rig.target("one.pdf")));
        QVERIFY(QFile::remove(gs));
        const qsizetype offices = rig.hosts.pids.size();
        rig.convert(SampleBook, rig.target("two.pdf"), 2);
        QCOMPARE(rig.messages.texts().last(), ConversionEngine::missingConverterMessage());
        QCOMPARE(rig.exit.calls, 1);
        QCOMPARE(rig.hosts.pids.size(), offices);
        QVERIFY(!QFile::exists(rig.target("two.pdf")));
    }

    // The source changed after it was added to the list; the target's
    // folder removed in the middle of the batch. Each job ends on its own
    // and the next runs; a source that is there is never modified.
    void filesChangedUnderTheBatch_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("status");
        QTest::newRow("source deleted") << "deleted" << JobStatus::Failed;
        QTest::newRow("source replaced by junk") << "junk" << JobStatus::Failed;
        QTest::newRow("source replaced by another workbook") << "other" << JobStatus::Completed;
        QTest::newRow("target folder removed") << "folder" << JobStatus::Failed;
    }

    void filesChangedUnderTheBatch()
    {
        QFETCH(QString, change);
        QFETCH(QString, status);
        Rig rig;
        const QString source = rig.target("Book.xls");
        QVERIFY(QFile::copy(SampleBook, source));
        QVERIFY(QDir(rig.dir.path()).mkdir("out"));
        const QString target = rig.target("out/book.pdf");
        if (change == "deleted")
            QVERIFY(QFile::remove(source));
        else if (change == "junk")
            writeFile(source, QByteArray(4096, 'j'));
        else if (change == "other")
            writeFile(source, readFile(corpus("xls/poi_SimpleWithColours.xls")));
        else
            QVERIFY(QDir(rig.target("out")).removeRecursively());
        const QByteArray before = QFile::exists(source) ? readFile(source) : QByteArray();

        rig.convert(source, target);
        QCOMPARE(rig.jobs.statuses(1).last(), status);
        QCOMPARE(isPdf(target), status == JobStatus::Completed);
        if (!before.isEmpty())
            QCOMPARE(readFile(source), before);

        rig.convert(SampleBook, rig.target("next.pdf"), 2);
        QCOMPARE(rig.jobs.statuses(2), (QStringList{JobStatus::Completed}));
    }

    // The spare office killed while the window waits: the next conversion
    // starts another and completes.
    void spareKilledWhileIdle()
    {
        SpareOfficeHosts spare(ProgramRegistry);
        spare.prepare();
        const pid_t office = spare.waitForSpare(std::chrono::minutes(3));
        QVERIFY(office > 0);
        QCOMPARE(::kill(office, SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!processRuns(office), 30000);
        Rig rig;
        rig.hosts.source = &spare;
        rig.convert(SampleBook, rig.target("out.pdf"));
        QCOMPARE(rig.jobs.statuses(1), (QStringList{JobStatus::Completed}));
        QVERIFY(isPdf(rig.target("out.pdf")));
        QVERIFY(!rig.hosts.pids.contains(office));
        spare.end();
    }

    // The program killed in the middle of a batch: within 2 s no office of
    // it is left, SETTINGS.INI is whole, and every target is absent or a
    // whole PDF.
    void programKilledMidBatch()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath("SETTINGS.INI");
        writeFile(settings, "[SETTINGS]\nPATH=/home/user\nOUTPUTPATH=\nOPENFILE=1\n");
        QStringList targets;
        for (int i = 1; i <= 4; ++i)
            targets << dir.filePath(QStringLiteral("book%1.pdf").arg(i));
        QProcess* batch = startBatch(this, dir.filePath("cache"), settings, targets);
        QVERIFY(batch->waitForStarted());
        const pid_t program = pid_t(batch->processId());
        // Mid-batch: the first PDF is written and the next job's office runs.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(targets[0]), 300000);
        QTRY_VERIFY_WITH_TIMEOUT(!ourOfficeProcesses(program).isEmpty(), 300000);
        QCOMPARE(::kill(program, SIGKILL), 0);
        QVERIFY(noOfficeOf(program, 2000));
        batch->waitForFinished(); // reaped (it may be already)

        using platform::ProfileFile;
        QVERIFY(targets.contains(
            ProfileFile::readString(settings, "SETTINGS", "OUTPUTPATH", QString(), 260)));
        QCOMPARE(ProfileFile::readString(settings, "SETTINGS", "OPENFILE", QString(), 260), "1");
        QCOMPARE(ProfileFile::readString(settings, "SETTINGS", "PATH", QString(), 260),
                 "/home/user");
        for (const QString& target : targets)
            QVERIFY2(!QFile::exists(target) || isPdf(target), qPrintable(target));
    }

    // Two copies of the program on one account at once, with one program
    // folder and one scratch folder, and quillmer-convert beside them: all
    // three batches complete.
    void twoCopiesAtOnce()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath("SETTINGS.INI");
        writeFile(settings, "[SETTINGS]\nPATH=/home/user\nOUTPUTPATH=\nOPENFILE=1\n");
        const QStringList first{dir.filePath("a1.pdf"), dir.filePath("a2.pdf")};
        const QStringList second{dir.filePath("b1.pdf"), dir.filePath("b2.pdf")};
        QProcess* one = startBatch(this, dir.filePath("cache"), settings, first);
        QProcess* two = startBatch(this, dir.filePath("cache"), settings, second);
        QProcess command(this);
        command.setProcessChannelMode(QProcess::ForwardedChannels);
        command.start(
            QStringLiteral(QUILLMER_PROGRAM_DIR "/quillmer-convert"),
            {"-j", "2", "-o", dir.filePath("c"), SampleBook, corpus("xls/cal_any_sheets.xls")});
        QVERIFY(one->waitForFinished(600000));
        QVERIFY(two->waitForFinished(600000));
        QVERIFY(command.waitForFinished(600000));
        QCOMPARE(one->exitCode(), 0);
        QCOMPARE(two->exitCode(), 0);
        QCOMPARE(command.exitCode(), 0);
        for (const QString& target : first + second +
                                         QStringList{dir.filePath("c/poi_SampleSS.pdf"),
                                                     dir.filePath("c/cal_any_sheets.pdf")})
            QVERIFY2(isPdf(target), qPrintable(target));
        QCOMPARE(
            platform::ProfileFile::readString(settings, "SETTINGS", "OPENFILE", QString(), 260),
            "1");
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--batch") == 0)
        return runBatch(app.arguments().mid(2));
    TestFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
