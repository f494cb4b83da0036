#include "pipelinerig.h"
#include "support/errornumber.h"
#include "support/officeprocesses.h"
#include "support/pdftools.h"
#include "support/programs.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace quillmer;
using namespace quillmer::office;
using namespace quillmer::printqueue;
using quillmer::test::FakeMessageBox;
using quillmer::test::FakePointer;
using quillmer::test::pagePixels;
using quillmer::test::pageSizes;
using quillmer::test::pageTexts;
using quillmer::test::samePage;

using quillmer::test::corpus;
using quillmer::test::ProgramRegistry;
using quillmer::test::readFile;
using quillmer::test::writeFile;

using namespace quillmer::test;

class TestPipeline : public QObject
{
    Q_OBJECT

private slots:
    // Whatever a test did, no LibreOffice of this process is left.
    void cleanup() { QCOMPARE(test::ourOfficeProcesses(), QList<pid_t>()); }

    // No Ghostscript at GSPath: the message, then the program ends; no host
    // is made and the row is not touched.
    void missingGhostscriptEndsTheProgram_data()
    {
        QTest::addColumn<std::optional<QString>>("gsPath");
        QTest::newRow("no value") << std::optional<QString>();
        QTest::newRow("empty") << std::optional<QString>(QString());
        QTest::newRow("no such file") << std::optional<QString>("/nonexistent/bin/gs");
        QTest::newRow("a folder") << std::optional<QString>("/usr/bin");
    }
    void missingGhostscriptEndsTheProgram()
    {
        QFETCH(std::optional<QString>, gsPath);
        Rig rig(gsPath);
        rig.hosts.failures = {err::ObjectNotSet}; // any creation would show
        rig.convert(corpus("xls/poi_SampleSS.xls"), rig.target("out.pdf"));
        QCOMPARE(rig.messages.texts(), QStringList{ConversionEngine::missingConverterMessage()});
        QCOMPARE(rig.messages.shown[0].icon, MessageIcon::Critical);
        QCOMPARE(rig.exit.calls, 1);
        QCOMPARE(rig.hosts.failures.size(), std::size_t(1));
        QVERIFY(rig.jobs.changes.isEmpty());
        QVERIFY(rig.runner.commands.isEmpty());
    }

    // The trap's own failures reach the caller: a second 429, or a host to
    // quit that was never made. The row shows "Failed" first.
    void errorsInsideTheTrapPassOn()
    {
        // 429 twice: the trap's new host fails too. Another error at the
        // start: the trap quits a host that does not exist (error 91).
        const std::pair<std::deque<qint32>, qint32> cases[] = {
            {{err::CannotCreateObject, err::CannotCreateObject}, err::CannotCreateObject},
            {{hosterr::AutomationError}, err::ObjectNotSet}};
        for (const auto& [failures, passed] : cases) {
            Rig rig;
            rig.hosts.failures = failures;
            QCOMPARE(test::errorNumber([&] {
                         rig.convert(corpus("xls/poi_SampleSS.xls"), rig.target("out.pdf"));
                     }),
                     passed);
            QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Failed});
            QVERIFY(rig.messages.shown.isEmpty());
            QCOMPARE(rig.engine.host(), nullptr);
        }
    }

    void missingPrinterMessages()
    {
        const QString base = "Please install 'HP Color LaserJet 5/5M PS' printer driver with ";
        QCOMPARE(ConversionEngine::missingPrinterMessage("95"),
                 base + "default name from Windows CD.");
        QCOMPARE(ConversionEngine::missingPrinterMessage("ME"),
                 base + "default name from Windows CD.");
        QCOMPARE(ConversionEngine::missingPrinterMessage("4.0"),
                 base + "default name from Windows CD.");
        QCOMPARE(ConversionEngine::missingPrinterMessage("98"),
                 base + "all default name from Windows CD.");
        QCOMPARE(ConversionEngine::successMessage("report.xls"),
                 QString("REPORT.XLS Converted Successfully."));
    }

    // All pages over an existing target, then pages 2 to 3: exactly the
    // workbook's own pages 2 and 3, with their text, cut by the second run
    // from the whole print. Ghostscript 10 gets the replacement of .setpdfwrite, the
    // scratch folder is locked while Ghostscript runs, and nothing of the
    // range is left in it.
    void pageRangeHoldsTheWorkbooksOwnPages()
    {
        Rig rig;
        bool lockedWhileRunning = true;
        rig.runner.whileRunning = [&] {
            if (rig.runner.commands.last().contains("-sDEVICE=pdfwrite"))
                lockedWhileRunning = lockedWhileRunning && !rig.scratch.tryLock();
        };
        const QString workbook = corpus("xls/poi_54686_fraction_formats.xls");
        const QString all = rig.target("all.pdf");
        writeFile(all, "an older file");
        rig.options.options().openAfterConversion = 2; // greyed: not ticked
        rig.convert(workbook, all);
        QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Completed});
        QCOMPARE(rig.messages.texts(), QStringList{"BOOK.XLS Converted Successfully."});
        QCOMPARE(rig.messages.shown[0].icon, MessageIcon::Information);
        const int pages = pageSizes(all).size();
        QVERIFY2(pages >= 4, qPrintable(QString::number(pages)));
        QCOMPARE(rig.runner.commands.filter("-sDEVICE=pdfwrite").size(), 1);

        rig.options.options().allPages = false;
        rig.options.options().firstPage = "2";
        rig.options.options().lastPage = "3";
        rig.options.options().openAfterConversion = 1;
        const QString range = rig.target("range.pdf");
        rig.convert(workbook, range, 2);
        QCOMPARE(rig.jobs.statuses(2), QStringList{JobStatus::Completed});
        QCOMPARE(rig.messages.texts().last(), QString("SECOND.XLS Converted Successfully."));
        QCOMPARE(rig.shell.opened, QStringList{range});
        QCOMPARE(pageSizes(range).size(), 2);
        const QString render = rig.dir.path();
        QVERIFY(samePage(pagePixels(range, 1, render), pagePixels(all, 2, render)));
        QVERIFY(samePage(pagePixels(range, 2, render), pagePixels(all, 3, render)));
        QVERIFY(!samePage(pagePixels(range, 1, render), pagePixels(all, 1, render)));
        // And the text of exactly those pages.
        const QStringList allText = pageTexts(all);
        QVERIFY(!allText.value(1).isEmpty() && !allText.value(2).isEmpty());
        QCOMPARE(pageTexts(range), allText.mid(1, 2));

        const QStringList runs = rig.runner.commands.filter("-sDEVICE=pdfwrite");
        QCOMPARE(runs.size(), 3);
        const QString scratch = rig.scratch.path();
        QCOMPARE(runs[1], programGhostscript() +
                              " -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=\"" +
                              scratch +
                              "/PdfFiletemp.pdf\" -dCompatibilityLevel=1.4 -c 3000000 "
                              "setvmthreshold -f \"" +
                              scratch + "/PsFile.ps\"");
        QCOMPARE(runs[2], programGhostscript() +
                              " -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -dFirstPage=2 "
                              "-dLastPage=3 -sOutputFile=\"" +
                              scratch +
                              "/PdfFile.pdf\" -dCompatibilityLevel=1.4 -c 3000000 setvmthreshold "
                              "-f \"" +
                              scratch + "/PdfFiletemp.pdf\"");
        QVERIFY(lockedWhileRunning);
        QVERIFY(rig.scratch.tryLock()); // and free again afterwards
        QCOMPARE(rig.scratchFiles(), (QStringList{"PdfFile.pdf", "PsFile.ps"}));
        // The .setpdfwrite question was asked once for both conversions.
        QCOMPARE(rig.runner.commands.filter(".setpdfwrite where").size(), 1);
        QCOMPARE(rig.hosts.pids.size(), 2);
        for (pid_t pid : rig.hosts.pids)
            QVERIFY(!test::processRuns(pid));
    }

    // A range that starts past the last page makes no PDF.
    void rangePastTheLastPageFails()
    {
        Rig rig;
        rig.options.options().allPages = false;
        rig.options.options().firstPage = "3"; // the workbook prints two pages
        rig.options.options().lastPage = "5";
        rig.options.options().openAfterConversion = 1;
        const QString target = rig.target("out.pdf");
        rig.convert(corpus("xls/poi_SampleSS.xls"), target);
        QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Failed});
        QCOMPARE(rig.messages.texts(), QStringList{ConversionEngine::failedMessage()});
        QCOMPARE(rig.messages.shown[0].icon, MessageIcon::Critical);
        QVERIFY(!QFile::exists(target));
        QVERIFY(rig.shell.opened.isEmpty());
        QVERIFY(!rig.scratchFiles().contains("PdfFiletemp.pdf"));
        QVERIFY(!rig.scratchFiles().contains("PdfFile.pdf"));
    }

    // The copy cannot replace the target: "Failed" through the trap (no
    // message of the pipeline's own), the old file as it was.
    void readOnlyTargetFolderKeepsTheOldFile()
    {
        if (geteuid() != 0)
            QSKIP("the immutable attribute needs root");
        Rig rig;
        const QString folder = rig.target("ro");
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + "/out.pdf";
        writeFile(target, "the old PDF");
        if (!test::runProgram("chattr", {"+i", folder}).succeeded)
            QSKIP("chattr is not supported on this file system");
        rig.convert(corpus("xls/poi_SampleSS.xls"), target);
        test::runProgram("chattr", {"-i", folder});
        QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Failed});
        QVERIFY(rig.messages.shown.isEmpty());
        QCOMPARE(rig.pointer.defaultCalls, 1); // HandleError ran
        QCOMPARE(readFile(target), QByteArray("the old PDF"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"out.pdf"});
    }

    // Without the printer "Quillmer" on this system the print fails, and the
    // trap sets "Failed". The print file of an earlier conversion is gone.
    void missingPrinterFailsThroughTheTrap()
    {
        QTemporaryDir dir;
        const QString hostRegistry = dir.filePath("registry.reg");
        QByteArray text = readFile(ProgramRegistry);
        text.replace("Printers\\Quillmer]", "Printers\\Another Printer]");
        writeFile(hostRegistry, text);
        Rig rig(programGhostscript(), hostRegistry);
        rig.scratch.ensure();
        writeFile(rig.scratch.psFile(), "%!PS an earlier print");
        rig.convert(corpus("xls/poi_SampleSS.xls"), rig.target("out.pdf"));
        QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Failed});
        QVERIFY(rig.messages.shown.isEmpty());
        QCOMPARE(rig.pointer.defaultCalls, 1);
        QVERIFY(!QFile::exists(rig.target("out.pdf")));
        QVERIFY(!QFile::exists(rig.scratch.psFile()));
        QVERIFY(rig.runner.commands.isEmpty());
    }

    // On an old Windows without the HP printer: the message (no icon), the
    // status left alone, and the workbook and host still ended.
    void oldWindowsWithoutItsPrinter_data()
    {
        QTest::addColumn<quint32>("minor");
        QTest::addColumn<QString>("message");
        const QString base = "Please install 'HP Color LaserJet 5/5M PS' printer driver with ";
        QTest::newRow("95") << 0u << base + "default name from Windows CD.";
        QTest::newRow("98") << 10u << base + "all default name from Windows CD.";
    }
    void oldWindowsWithoutItsPrinter()
    {
        QFETCH(quint32, minor);
        QFETCH(QString, message);
        Rig rig;
        rig.version.record = VersionRecord{1, 4, minor};
        rig.convert(corpus("xls/poi_SampleSS.xls"), rig.target("out.pdf"));
        QCOMPARE(rig.messages.texts(), QStringList{message});
        QCOMPARE(rig.messages.shown[0].icon, MessageIcon::None);
        QCOMPARE(rig.messages.shown[0].buttons, MessageButtons::Ok);
        QVERIFY(rig.jobs.changes.isEmpty());
        QVERIFY(rig.runner.commands.isEmpty());
        QCOMPARE(rig.hosts.pids.size(), 1);
        QVERIFY(!test::processRuns(rig.hosts.pids[0]));
        QCOMPARE(rig.engine.host(), nullptr);
    }

    // Error 429 once: "Failed", a new host, and the road goes on to
    // "Completed" without HandleError.
    void hostCreatedAgainAfter429()
    {
        Rig rig;
        rig.hosts.failures = {err::CannotCreateObject};
        const QString target = rig.target("out.pdf");
        rig.convert(corpus("xls/poi_SampleSS.xls"), target);
        QCOMPARE(rig.jobs.statuses(1), (QStringList{JobStatus::Failed, JobStatus::Completed}));
        QCOMPARE(rig.messages.texts(), QStringList{"BOOK.XLS Converted Successfully."});
        QCOMPARE(rig.pointer.defaultCalls, 0);
        QCOMPARE(rig.hosts.pids.size(), 1);
        QCOMPARE(pageSizes(target).size(), 2);
    }

    // Ghostscript does not start: "Failed to create PDF.", nothing copied.
    void ghostscriptThatDoesNotStart()
    {
        Rig rig;
        rig.runner.refuseConversionRuns = true;
        rig.options.options().allPages = false;
        rig.options.options().openAfterConversion = 1;
        const QString target = rig.target("out.pdf");
        rig.convert(corpus("xls/poi_SampleSS.xls"), target);
        QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Failed});
        QCOMPARE(rig.messages.texts(), QStringList{ConversionEngine::failedMessage()});
        QCOMPARE(rig.messages.shown[0].icon, MessageIcon::Critical);
        QCOMPARE(rig.runner.commands.filter("-sDEVICE=pdfwrite").size(), 1);
        QVERIFY(!QFile::exists(target));
        QVERIFY(rig.shell.opened.isEmpty());
        QCOMPARE(rig.scratchFiles(), QStringList{"PsFile.ps"});
    }

    // A "Ghostscript" that ends well but writes nothing: the PDF of an
    // earlier conversion was removed before printing and cannot pass for
    // this one's.
    void earlierFilesNeverPassForNewOnes()
    {
        Rig rig(QStringLiteral("/bin/true"));
        rig.scratch.ensure();
        writeFile(rig.scratch.pdfFile(), "%PDF-1.4 an earlier conversion's PDF");
        writeFile(rig.scratch.pdfTempFile(), "%PDF-1.4 an earlier conversion's range");
        const QString target = rig.target("out.pdf");
        rig.convert(corpus("xls/poi_SampleSS.xls"), target);
        QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Failed});
        QCOMPARE(rig.messages.texts(), QStringList{ConversionEngine::failedMessage()});
        QVERIFY(!QFile::exists(target));
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
