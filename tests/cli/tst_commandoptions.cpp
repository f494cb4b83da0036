// The command line of quillmer-convert, before anything is converted: the
// option rules and their messages, the jobs a command line makes, the
// manifest and the shards.
#include "cli/batchjobs.h"
#include "cli/commandoptions.h"
#include "frontend/batchrun.h"
#include "frontend/sheetchoice.h"
#include "jobs/selection.h"
#include "support/files.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace quillmer;
using namespace quillmer::cli;
using quillmer::test::writeFile;

namespace {

QString refusal(const QStringList& arguments)
{
    return parseCommand(arguments, QStringLiteral("/tmp")).refusal;
}

QList<BatchJob> jobsOf(const JobSources& sources)
{
    const GatheredJobs gathered = gatherJobs(sources);
    if (gathered.refusal)
        qWarning("refused: %s", qPrintable(*gathered.refusal));
    return gathered.jobs;
}

} // namespace

class TestCommandOptions : public QObject
{
    Q_OBJECT

private slots:
    // By default nothing is written and every sheet keeps its own set-up;
    // --as-window has the window's defaults. Every flag lands in its option.
    void defaultsAndFlags()
    {
        const auto plain = parseCommand({"book.xls"}, "/work").options;
        QVERIFY(plain);
        QVERIFY(!plain->asWindow && plain->request.road == ConversionRoad::Export);
        QVERIFY(!plain->request.pageSetup.any() && !plain->request.pages);
        QVERIFY(!plain->request.sheets && !plain->request.splitSheets);
        QVERIFY(!plain->request.onePagePerSheet && plain->request.pdfA == 0);
        QVERIFY(!plain->request.password);
        QCOMPARE(plain->workers, QThread::idealThreadCount());
        QCOMPARE(plain->timeout.count(), 120000);
        QCOMPARE(plain->shardCount, 1);

        const auto window = parseCommand({"--as-window", "book.xls"}, "/work").options;
        QVERIFY(window && window->asWindow && window->request.road == ConversionRoad::Print);
        const ConversionOptions defaults;
        QCOMPARE(window->print.paperSize, defaults.paperSize);
        QCOMPARE(window->print.scale, defaults.scale);
        QCOMPARE(window->print.showGridlines, 1);
        QCOMPARE(window->print.showHeaders, 0);
        QVERIFY(window->print.allPages && !window->print.landscape);
        QCOMPARE(window->print.openAfterConversion, 0);

        QTemporaryDir dir;
        writeFile(dir.filePath("pw"), "s3cret \r\nsecond line\n");
        const auto all = parseCommand({"--paper",
                                       "letter",
                                       "--landscape",
                                       "--scale",
                                       "250",
                                       "--no-gridlines",
                                       "--headings",
                                       "--pages",
                                       "2-5",
                                       "--road",
                                       "print",
                                       "--sheets",
                                       "1,3-4,\"Q1, 2019\",Totals",
                                       "--split-sheets",
                                       "--password-file",
                                       "pw",
                                       "-j3",
                                       "--timeout",
                                       "7.5",
                                       "--shard",
                                       "1/4",
                                       "--skip-existing",
                                       "--report",
                                       "r.jsonl",
                                       "-o",
                                       "out",
                                       "--recursive",
                                       "in"},
                                      dir.path())
                             .options;
        QVERIFY(all);
        const CommandRequest& r = all->request;
        QCOMPARE(r.road, ConversionRoad::Print);
        QCOMPARE(r.pageSetup.paperSize, 1);
        QCOMPARE(r.pageSetup.landscape, true);
        QCOMPARE(r.pageSetup.zoom, qint16(250));
        QCOMPARE(r.pageSetup.gridlines, false);
        QCOMPARE(r.pageSetup.headings, true);
        QCOMPARE(r.pages, std::optional(std::pair(2, 5)));
        QCOMPARE(*r.sheets,
                 (SheetList{{"", 1, 1}, {"", 3, 4}, {"Q1, 2019", 0, 0}, {"Totals", 0, 0}}));
        QVERIFY(r.splitSheets);
        QCOMPARE(r.password, std::optional(QString("s3cret ")));
        QCOMPARE(all->print.paperSize, QString("Letter"));
        QCOMPARE(all->workers, 3);
        QCOMPARE(all->timeout.count(), 7500);
        QCOMPARE(all->shardIndex, 1);
        QCOMPARE(all->shardCount, 4);
        QVERIFY(all->skipExisting && all->sources.recursive);
        QCOMPARE(all->report, QString("r.jsonl"));
        QCOMPARE(all->sources.outputDir, QString("out"));

        const auto fit = parseCommand({"--fit", "1", "--pdfa", "2B", "--one-page-per-sheet",
                                       "--sheets", "\"2019\"", "book.xls"},
                                      "/work");
        QCOMPARE(fit.refusal, QString("--fit and --one-page-per-sheet cannot be given together"));
        const auto wide =
            parseCommand({"--fit", "1", "--pdfa", "2B", "--sheets", "\"2019\"", "book.xls"},
                         "/work")
                .options;
        QVERIFY(wide);
        QCOMPARE(wide->request.pageSetup.fit, std::optional(std::pair(1, 0)));
        QCOMPARE(wide->request.pdfA, 2);
        QCOMPARE(*wide->request.sheets, (SheetList{{"2019", 0, 0}}));
        // A split's file per sheet, what file names cannot hold replaced.
        QCOMPARE(sheetTarget("/o/b.pdf", "Q1 \"x\" <a|b>\n"), QString("/o/b-Q1 _x_ _a_b__.pdf"));
    }

    // Where the window has the rule, its message; else the command's own.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("scale 9") << QStringList{"--scale", "9", "a.xls"}
                                 << BatchRun::rangeMessage();
        QTest::newRow("scale 9.5")
            << QStringList{"--scale", "9.5", "a.xls"} << BatchRun::rangeMessage();
        QTest::newRow("scale 401")
            << QStringList{"--scale", "401", "a.xls"} << BatchRun::rangeMessage();
        QTest::newRow("scale letters")
            << QStringList{"--scale", "ab", "a.xls"} << BatchRun::adjustMessage();
        QTest::newRow("scale blank")
            << QStringList{"--scale", "  ", "a.xls"} << BatchRun::adjustMessage();
        QTest::newRow("from") << QStringList{"--pages", "x-3", "a.xls"} << BatchRun::fromMessage();
        QTest::newRow("to") << QStringList{"--pages", "1-", "a.xls"} << BatchRun::toMessage();
        QTest::newRow("no range") << QStringList{"--pages", "3", "a.xls"}
                                  << "--pages takes FROM-TO, as in 2-5";
        QTest::newRow("backwards") << QStringList{"--pages", "3-1", "a.xls"}
                                   << "--pages takes whole page numbers from 1, FROM at most TO, "
                                      "as in 2-5";
        QTest::newRow("paper") << QStringList{"--paper", "A3", "a.xls"}
                               << "--paper takes A4, Legal, A5, Letter, B4 or B5, not 'A3'";
        QTest::newRow("jobs") << QStringList{"-j", "0", "a.xls"}
                              << "--jobs takes a whole number of workers from 1";
        QTest::newRow("timeout") << QStringList{"--timeout", "-1", "a.xls"}
                                 << "--timeout takes a number of seconds above 0";
        QTest::newRow("shard") << QStringList{"--shard", "4/4", "a.xls"}
                               << "--shard takes K/N, whole numbers with 0 <= K < N, as in 0/4";
        QTest::newRow("nothing") << QStringList{}
                                 << "no workbooks: give a SOURCE or --manifest FILE";
        QTest::newRow("unknown") << QStringList{"--bogus", "a.xls"} << "Unknown option 'bogus'.";
        QTest::newRow("scale and fit") << QStringList{"--scale", "50", "--fit", "1", "a.xls"}
                                       << "--scale and --fit cannot be given together";
        QTest::newRow("landscape and portrait")
            << QStringList{"--portrait", "--landscape", "a.xls"}
            << "--landscape and --portrait cannot be given together";
        QTest::newRow("window and sheets") << QStringList{"--as-window", "--sheets", "1", "a.xls"}
                                           << "--as-window and --sheets cannot be given together";
        QTest::newRow("window and export")
            << QStringList{"--as-window", "--road", "export", "a.xls"}
            << "--as-window and --road cannot be given together";
        QTest::newRow("print and PDF/A")
            << QStringList{"--road", "print", "--pdfa", "1b", "a.xls"}
            << "--road and --pdfa cannot be given together: only the office's export does that";
        QTest::newRow("road") << QStringList{"--road", "fax", "a.xls"}
                              << "--road takes export or print, not 'fax'";
        QTest::newRow("fit 0x0") << QStringList{"--fit", "0x0", "a.xls"}
                                 << "--fit takes W or WxH, pages wide and tall, 0 for as many as "
                                    "needed but not both, as in 1x0";
        QTest::newRow("pdfa") << QStringList{"--pdfa", "4b", "a.xls"}
                              << "--pdfa takes 1b, 2b or 3b, not '4b'";
        QTest::newRow("sheets backwards")
            << QStringList{"--sheets", "4-2", "a.xls"}
            << "--sheets: sheets 4-2: numbers start at 1, the first at most the last";
        QTest::newRow("sheets empty")
            << QStringList{"--sheets", "1,,2", "a.xls"} << "--sheets: an empty sheet in the list";
        QTest::newRow("sheets quote") << QStringList{"--sheets", "\"Q1", "a.xls"}
                                      << "--sheets: a quoted sheet name that never closes";
        QTest::newRow("password file")
            << QStringList{"--password-file", "/nonexistent/pw", "a.xls"}
            << "the password file '/nonexistent/pw' cannot be read (No such file or directory)";
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QCOMPARE(refusal(arguments), message);
        QVERIFY(!parseCommand(arguments, "/tmp").options);
    }

    // Workbooks and folders: targets beside the sources as the window
    // proposes, or below -o keeping the subfolders; ".xls" in any case;
    // sorted; a file that is no workbook and two jobs with one target are
    // refused.
    void jobsFromSources()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath("in");
        for (const char* name : {"b.xls", "A.XLS", "notes.txt", "sub/c.xls", "sub/deep/d.Xls"})
            writeFile(in + "/" + name, "x");
        writeFile(dir.filePath("single.xls"), "x");

        JobSources beside{{"in", "single.xls"}, false, {}, {}, dir.path()};
        QCOMPARE(jobsOf(beside),
                 (QList<BatchJob>{{in + "/A.XLS", in + "/A.pdf"},
                                  {in + "/b.xls", in + "/b.pdf"},
                                  {dir.filePath("single.xls"), dir.filePath("single.pdf")}}));
        QCOMPARE(SourceTargetSelection::proposedTarget(in + "/A.XLS"), in + "/A.pdf");

        const QString out = dir.filePath("out");
        JobSources below{{in}, true, {}, "out", dir.path()};
        QCOMPARE(jobsOf(below),
                 (QList<BatchJob>{{in + "/A.XLS", out + "/A.pdf"},
                                  {in + "/b.xls", out + "/b.pdf"},
                                  {in + "/sub/c.xls", out + "/sub/c.pdf"},
                                  {in + "/sub/deep/d.Xls", out + "/sub/deep/d.pdf"}}));

        const GatheredJobs text = gatherJobs({{"in/notes.txt"}, false, {}, {}, dir.path()});
        QVERIFY(text.jobs.isEmpty());
        QCOMPARE(*text.refusal, "'in/notes.txt': " + SourceTargetSelection::invalidSourceMessage());

        // b.xls of the folder and of the file both write out/b.pdf.
        writeFile(dir.filePath("other/b.xls"), "x");
        const GatheredJobs twice =
            gatherJobs({{"in", "other/b.xls"}, false, {}, "out", dir.path()});
        QVERIFY(twice.jobs.isEmpty());
        QVERIFY(twice.refusal->startsWith("two jobs write '" + out + "/b.pdf'"));
    }

    // RFC 4180: quotes, doubled quotes, commas, spaces and line breaks in
    // quoted fields, CRLF, a byte-order mark, a header row, an empty target;
    // paths relative to the manifest's folder. A malformed row is refused
    // with its line.
    void manifest()
    {
        QTemporaryDir dir;
        const QString m = dir.filePath("lists/jobs.csv");
        writeFile(m, "\xEF\xBB\xBFsource,target\r\n"
                     "\"in/a \"\"quoted\"\", with comma.xls\",\"out/a, b.pdf\"\r\n"
                     "\r\n"
                     " spaced name .xls,\r\n"
                     "\"two\nlines.xls\",/abs/t.pdf\n"
                     "\"Grüße.xls\",\"ü.pdf\"");
        const QString base = dir.filePath("lists");
        QCOMPARE(
            jobsOf({{}, false, m, {}, dir.path()}),
            (QList<BatchJob>{{base + "/ spaced name .xls", base + "/ spaced name .pdf"},
                             {base + "/Grüße.xls", base + "/ü.pdf"},
                             {base + "/in/a \"quoted\", with comma.xls", base + "/out/a, b.pdf"},
                             {base + "/two\nlines.xls", "/abs/t.pdf"}}));

        const auto refused = [&](const QByteArray& text) {
            writeFile(m, text);
            return gatherJobs({{}, false, m, {}, dir.path()}).refusal.value_or(QString());
        };
        QCOMPARE(refused("a.xls,a.pdf\nb.xls,\"b\"x.pdf\n"),
                 "the manifest '" + m + "', line 2: text after the closing quote of a field");
        QCOMPARE(refused("a.xls,\"open.pdf\n"),
                 "the manifest '" + m + "', line 1: a quoted field that never closes");
        QCOMPARE(refused("a.xls,b.pdf,c\n"), "the manifest '" + m +
                                                 "', line 1: a row is source,target (the target "
                                                 "may be left out)");
        QCOMPARE(refused("a.xls,b.txt\n"), "the manifest '" + m + "', line 1: 'b.txt': " +
                                               SourceTargetSelection::invalidTargetMessage());
        QCOMPARE(refused("a.xls,same.pdf\nb.xls,same.pdf\n").left(16), QString("two jobs write '"));
        QVERIFY(refused("a.xls,\xff.pdf\n").endsWith("line 1: the file is not UTF-8 text"));
    }

    // The shards of a list, taken together, hold each job exactly once.
    void shardsCoverEveryJobOnce()
    {
        for (int size = 0; size <= 9; ++size) {
            QList<BatchJob> jobs;
            for (int i = 0; i < size; ++i)
                jobs << BatchJob{QString("/s/%1.xls").arg(i), QString("/t/%1.pdf").arg(i)};
            for (int count = 1; count <= 4; ++count) {
                QList<BatchJob> all;
                for (int index = 0; index < count; ++index) {
                    const QList<BatchJob> share = shardOf(jobs, index, count);
                    QVERIFY(share.size() <= size / count + 1);
                    all += share;
                }
                QCOMPARE(all.size(), jobs.size());
                QSet<QString> seen;
                for (const BatchJob& job : all)
                    seen.insert(job.source);
                QCOMPARE(seen.size(), jobs.size());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandOptions)
#include "tst_commandoptions.moc"
