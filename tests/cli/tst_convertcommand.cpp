// quillmer-convert as a script runs it, from the program folder, on real
// LibreOffice and Ghostscript: a mixed batch from a manifest with awkward
// paths, its resumption, damaged workbooks, Ctrl-C in the middle of a batch,
// and a usage error.
#include "support/files.h"
#include "support/officeprocesses.h"
#include "support/pdftools.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace quillmer;
using quillmer::test::corpus;
using quillmer::test::pageSizes;
using quillmer::test::readFile;
using quillmer::test::writeFile;

namespace {

const QString Command = QStringLiteral(QUILLMER_PROGRAM_DIR "/quillmer-convert");

struct Run
{
    int exitCode = -1;
    bool crashed = false; // ended by a signal
    QString out, err;
    pid_t pid = 0;
};

// Runs the command in folder; whileRunning is called once it has started.
Run convert(const QStringList& arguments, const QString& folder,
            const std::function<void(QProcess&)>& whileRunning = {})
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(Command, arguments);
    Run run;
    if (!p.waitForStarted())
        return run;
    run.pid = pid_t(p.processId());
    if (whileRunning)
        whileRunning(p);
    p.waitForFinished(300000);
    run.exitCode = p.exitCode();
    run.crashed = p.exitStatus() == QProcess::CrashExit;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QList<QJsonObject> records(const QString& report)
{
    QList<QJsonObject> out;
    for (const QByteArray& line : readFile(report).split('\n'))
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    return out;
}

QJsonObject recordOf(const QList<QJsonObject>& all, const QString& source)
{
    for (const QJsonObject& r : all)
        if (r["source"].toString() == source)
            return r;
    return {};
}

QByteArray checksum(const QString& path)
{
    return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256);
}

// Nothing of the run is left: no office, no Ghostscript (its command line
// names the scratch folder), no scratch folder.
void verifyNothingLeft(pid_t pid)
{
    QCOMPARE(test::ourOfficeProcesses(pid), QList<pid_t>());
    QCOMPARE(test::runningProcesses("quillmer-convert-" + QByteArray::number(pid) + '-'),
             QList<pid_t>());
    QCOMPARE(QDir(QDir::tempPath())
                 .entryList({QStringLiteral("quillmer-convert-%1-*").arg(pid)}, QDir::Dirs),
             QStringList());
}

} // namespace

class TestConvertCommand : public QObject
{
    Q_OBJECT

private slots:
    // Two good workbooks and a broken one, listed in a manifest whose paths
    // hold quotes, commas and spaces, on two workers with print options:
    // statuses, records, pages, paper, exit code 1, the broken source
    // untouched, nothing left. Run again with --skip-existing, the PDFs are
    // kept and the broken workbook fails again.
    void mixedBatchAndResume()
    {
        QTemporaryDir dir;
        const QString good1 = dir.filePath("in/sample \"one\", copy.xls");
        const QString good2 = dir.filePath("in/uni code.xls");
        const QString bad = dir.filePath("in/bro,ken.xls");
        writeFile(good1, readFile(corpus("xls/poi_SampleSS.xls")));
        writeFile(good2, readFile(corpus("xls/edr_TestUnicodeChars.xls")));
        writeFile(bad, readFile(corpus("bad/edr_TestFail_Binary.xls")));
        const QByteArray badBefore = checksum(bad);
        writeFile(dir.filePath("jobs.csv"),
                  "source,target\r\n"
                  "\"in/sample \"\"one\"\", copy.xls\",\"out/a, \"\"b\"\".pdf\"\r\n"
                  "\"in/bro,ken.xls\",\r\n"
                  "in/uni code.xls\r\n");
        const QString target1 = dir.filePath("out/a, \"b\".pdf");
        const QString target2 = dir.filePath("out/uni code.pdf");

        const QStringList arguments{"--manifest",  "jobs.csv", "-o",          "out",
                                    "-j",          "2",        "--paper",     "Letter",
                                    "--landscape", "--report", "report.jsonl"};
        const Run first = convert(arguments, dir.path());
        QCOMPARE(first.exitCode, 1);
        verifyNothingLeft(first.pid);
        QList<QJsonObject> report = records(dir.filePath("report.jsonl"));
        QCOMPARE(report.size(), 3);
        const QJsonObject one = recordOf(report, good1);
        QCOMPARE(one["status"].toString(), QString("converted"));
        QCOMPARE(one["target"].toString(), target1);
        QCOMPARE(one["pages"].toInt(), 2);
        QVERIFY(one["seconds"].toDouble() > 0);
        QVERIFY(!one.contains("error"));
        QCOMPARE(recordOf(report, good2)["pages"].toInt(), 1);
        const QJsonObject broken = recordOf(report, bad);
        QCOMPARE(broken["status"].toString(), QString("failed"));
        QVERIFY2(broken["error"].toString().contains("cannot be opened"),
                 qPrintable(broken["error"].toString()));
        QVERIFY(!QFile::exists(dir.filePath("out/bro,ken.pdf")));
        QCOMPARE(checksum(bad), badBefore);
        // Letter landscape on the first sheet, 792 x 612 points.
        QVERIFY(test::nearSize(pageSizes(target1).value(0), QSizeF(792, 612)));
        QVERIFY(test::nearSize(pageSizes(target2).value(0), QSizeF(792, 612)));
        QVERIFY(first.out.contains("[3/3]"));
        QVERIFY(first.out.contains("3 jobs in "));
        QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"a, \"b\".pdf", "uni code.pdf"}));

        const QByteArray kept = checksum(target1);
        const Run again = convert(arguments + QStringList{"--skip-existing"}, dir.path());
        QCOMPARE(again.exitCode, 1);
        report = records(dir.filePath("report.jsonl"));
        QCOMPARE(report.size(), 3);
        QCOMPARE(recordOf(report, good1)["status"].toString(), QString("skipped"));
        QCOMPARE(recordOf(report, good1)["pages"].toInt(), 2);
        QCOMPARE(recordOf(report, good2)["status"].toString(), QString("skipped"));
        QCOMPARE(recordOf(report, bad)["status"].toString(), QString("failed"));
        QCOMPARE(checksum(target1), kept);
        verifyNothingLeft(again.pid);
    }

    // Seeded damaged copies of two workbooks (bench/mutate.py: bytes
    // changed, truncated, OLE sectors swapped, header changed) and two of
    // corpus/bad: no crash, exit code 1 as something failed, each failure
    // with a reason and no target, each success a whole PDF, the sources
    // unchanged, nothing left.
    void damagedWorkbooks()
    {
        QTemporaryDir dir;
        QProcess mutate;
        mutate.start(QStringLiteral("python3"),
                     {QUILLMER_MUTATOR, "--seed", "7", "--count", "4", dir.filePath("in"),
                      corpus("xls/poi_SampleSS.xls"), corpus("xls/edr_TestUnicodeChars.xls")});
        QVERIFY(mutate.waitForFinished(60000));
        QCOMPARE(mutate.exitCode(), 0);
        for (const QString name : {"edr_TestFail_Binary.xls", "poi_password.xls"})
            writeFile(dir.filePath("in/" + name), readFile(corpus("bad/" + name)));
        QMap<QString, QByteArray> before;
        for (const QFileInfo& source : QDir(dir.filePath("in")).entryInfoList(QDir::Files))
            before[source.filePath()] = checksum(source.filePath());
        QCOMPARE(before.size(), 6);

        const Run run =
            convert({"in", "-o", "out", "-j", "2", "--timeout", "60", "--report", "report.jsonl"},
                    dir.path());
        QVERIFY(!run.crashed);
        QCOMPARE(run.exitCode, 1);
        verifyNothingLeft(run.pid);
        const QList<QJsonObject> report = records(dir.filePath("report.jsonl"));
        QCOMPARE(report.size(), before.size());
        for (auto [source, sum] : before.asKeyValueRange()) {
            const QJsonObject r = recordOf(report, source);
            const QString target =
                dir.filePath("out/" + QFileInfo(source).completeBaseName() + ".pdf");
            if (r["status"].toString() == "converted") {
                QVERIFY2(!pageSizes(target).isEmpty(), qPrintable(source));
            } else {
                QCOMPARE(r["status"].toString(), QString("failed"));
                QVERIFY2(!r["error"].toString().trimmed().isEmpty(), qPrintable(source));
                QVERIFY2(!QFileInfo::exists(target), qPrintable(source));
            }
            QCOMPARE(checksum(source), sum);
        }
        QCOMPARE(recordOf(report, dir.filePath("in/poi_password.xls"))["status"].toString(),
                 QString("failed"));
    }

    // Ctrl-C after the first job: the running jobs end, nothing new starts,
    // no office is left, every target there is a whole PDF with its record,
    // and the program ends by the signal.
    void interrupted()
    {
        QTemporaryDir dir;
        const QStringList names{"poi_SampleSS.xls", "edr_TestUnicodeChars.xls",
                                "cal_any_sheets.xls", "cal_malformed_format.xls"};
        for (int copy = 0; copy < 3; ++copy)
            for (const QString& name : names)
                writeFile(dir.filePath(QString("in/%1-%2").arg(copy).arg(name)),
                          readFile(corpus("xls/" + name)));
        const QString report = dir.filePath("report.jsonl");
        QElapsedTimer stopping;
        const Run run = convert({"in", "-o", "out", "-j", "2", "--report", report}, dir.path(),
                                [&](QProcess& p) {
                                    QTRY_VERIFY_WITH_TIMEOUT(!readFile(report).isEmpty(), 120000);
                                    ::kill(pid_t(p.processId()), SIGINT);
                                    stopping.start();
                                    p.waitForFinished(60000);
                                });
        QVERIFY(run.crashed);
        QVERIFY2(stopping.elapsed() < 15000, qPrintable(QString::number(stopping.elapsed())));
        QVERIFY2(run.out.contains("not done (stopped by SIGINT)"), qPrintable(run.out));
        verifyNothingLeft(run.pid);

        const QList<QJsonObject> done = records(report);
        QVERIFY(!done.isEmpty() && done.size() < 12);
        QStringList written;
        for (const QJsonObject& r : done) {
            QCOMPARE(r["status"].toString(), QString("converted"));
            QVERIFY(!pageSizes(r["target"].toString()).isEmpty());
            written << QFileInfo(r["target"].toString()).fileName();
        }
        written.sort();
        QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 written);
    }

    // Two jobs with one target: a usage error before anything is converted.
    void duplicateTargets()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("a/book.xls"), readFile(corpus("xls/poi_SampleSS.xls")));
        writeFile(dir.filePath("b/Book.xls"), readFile(corpus("xls/poi_SampleSS.xls")));
        writeFile(dir.filePath("b/book.xls"), readFile(corpus("xls/poi_SampleSS.xls")));
        const Run run = convert({"a", "b", "-o", "out"}, dir.path());
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith("quillmer-convert: two jobs write '" + dir.filePath("out") +
                                    "/book.pdf'"),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(dir.filePath("out")));
        verifyNothingLeft(run.pid);
    }
};

QTEST_GUILESS_MAIN(TestConvertCommand)
#include "tst_convertcommand.moc"
