// quillmer-convert as a script runs it, from the program folder, on real
// LibreOffice and Ghostscript: a mixed batch from a manifest with awkward
// paths, its resumption, awkward file names, damaged workbooks, Ctrl-C in
// the middle of a batch, a usage error, and a broken setting or target.
#include "cli/command.h"
#include "support/commandruns.h"
#include "support/files.h"
#include "support/officeprocesses.h"
#include "support/pdftools.h"
#include "support/programs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>

using namespace quillmer;
using quillmer::test::corpus;
using quillmer::test::pageSizes;
using quillmer::test::readFile;
using quillmer::test::writeFile;

namespace {

using test::recordOf;
using test::verifyNothingLeft;
using Run = test::CommandRun;

Run convert(const QStringList& arguments, const QString& folder,
            const std::function<void(QProcess&)>& whileRunning = {})
{
    return test::runConvert(arguments, folder, whileRunning);
}

QList<QJsonObject> records(const QString& report)
{
    return test::reportRecords(report);
}

QByteArray checksum(const QString& path)
{
    return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256);
}

// Every entry below folder, as paths relative to it.
QStringList treeOf(const QString& folder)
{
    QStringList all;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        all << QDir(folder).relativeFilePath(it.next());
    all.sort();
    return all;
}

// A file by the bytes of its name, which need not be UTF-8.
bool writeRaw(const QByteArray& path, const QByteArray& data)
{
    std::FILE* f = std::fopen(path.constData(), "wb");
    if (!f)
        return false;
    const bool written =
        std::fwrite(data.constData(), 1, size_t(data.size()), f) == size_t(data.size());
    return std::fclose(f) == 0 && written;
}

QByteArray readRaw(std::FILE* f)
{
    QByteArray all;
    if (!f)
        return all;
    std::rewind(f);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        all.append(buffer, qsizetype(n));
    return all;
}

QByteArray readRaw(const QByteArray& path)
{
    std::FILE* f = std::fopen(path.constData(), "rb");
    const QByteArray all = readRaw(f);
    if (f)
        std::fclose(f);
    return all;
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

    // A workbook whose name holds a character a shell, a command line, a URL
    // or a terminal takes for something else, given after "--": it converts
    // to the same name with ".pdf" in the output folder, its bytes unchanged,
    // and nothing is written anywhere else. The names never reach Ghostscript
    // or the office as arguments (the office opens a URL made from the path,
    // Ghostscript reads the scratch folder's fixed names). A name that is not
    // UTF-8 cannot be carried (given by its folder, it was left out without
    // a word): the batch is refused, naming it.
    void awkwardNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("target"); // below the output folder; empty: refused
        QTest::newRow("double quote") << QByteArray("say \"hi\".xls") << "say \"hi\".pdf";
        QTest::newRow("single quote") << QByteArray("it's.xls") << "it's.pdf";
        QTest::newRow("spaces") << QByteArray(" two  spaces .xls") << " two  spaces .pdf";
        QTest::newRow("newline") << QByteArray("two\nlines.xls") << "two\nlines.pdf";
        QTest::newRow("leading dash") << QByteArray("-x.xls") << "-x.pdf";
        QTest::newRow("URL characters") << QByteArray("50% #1?.xls") << "50% #1?.pdf";
        QTest::newRow("not UTF-8") << QByteArray("caf\xe9.xls") << QString();
    }
    void awkwardNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, target);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("in")));
        const QByteArray source = QFile::encodeName(dir.filePath("in/")) + name;
        const QByteArray workbook = readFile(corpus("xls/poi_SampleSS.xls"));
        QVERIFY(writeRaw(source, workbook));
        const auto removeSource = qScopeGuard([&] { ::unlink(source.constData()); });
        const QStringList before = treeOf(dir.path());
        const bool utf8 = QString::fromUtf8(name).toUtf8() == name;

        const Run run = convert({"-o", "../out", "--report", "../report.jsonl", "--",
                                 utf8 ? QString::fromUtf8(name) : QString(".")},
                                dir.filePath("in"));
        QCOMPARE(readRaw(source), workbook);
        verifyNothingLeft(run.pid);
        QStringList after = treeOf(dir.path());
        if (target.isEmpty()) {
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.startsWith("quillmer-convert: '" + dir.filePath("in/caf\uFFFD.xls") +
                                        "': the name is not UTF-8 text"),
                     qPrintable(run.err));
            QCOMPARE(after, before);
            return;
        }
        QVERIFY2(run.exitCode == 0, qPrintable(run.err + run.out));
        const QList<QJsonObject> report = records(dir.filePath("report.jsonl"));
        QCOMPARE(report.size(), 1);
        QCOMPARE(report[0]["status"].toString(), QString("converted"));
        QCOMPARE(report[0]["target"].toString(), dir.filePath("out/" + target));
        QVERIFY(!pageSizes(dir.filePath("out/" + target)).isEmpty());
        after.removeAll("out");
        after.removeAll("out/" + target);
        after.removeAll("report.jsonl");
        QCOMPARE(after, before);
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

    // The command killed outright once a PDF is written: within 2 s neither
    // its offices nor its Ghostscript runs are left, and every .pdf in the
    // target folder is whole. Run again with --skip-existing, it keeps those,
    // converts the rest and clears what the killed run left in the
    // temporary folder.
    void killedMidBatch()
    {
        QTemporaryDir dir;
        const QStringList names{"poi_SampleSS.xls", "edr_TestUnicodeChars.xls",
                                "cal_any_sheets.xls"};
        for (int copy = 0; copy < 2; ++copy)
            for (const QString& name : names)
                writeFile(dir.filePath(QString("in/%1-%2").arg(copy).arg(name)),
                          readFile(corpus("xls/" + name)));
        const QString report = dir.filePath("report.jsonl");
        const Run killed = convert(
            {"in", "-o", "out", "-j", "2", "--report", report}, dir.path(), [&](QProcess& p) {
                QTRY_VERIFY_WITH_TIMEOUT(!readFile(report).isEmpty(), 120000);
                ::kill(pid_t(p.processId()), SIGKILL);
                p.waitForFinished(10000);
                const QByteArray scratch =
                    "quillmer-convert-" + QByteArray::number(p.processId()) + '-';
                QTRY_VERIFY_WITH_TIMEOUT(test::ourOfficeProcesses(pid_t(p.processId())).isEmpty() &&
                                             test::runningProcesses(scratch).isEmpty(),
                                         2000);
            });
        QVERIFY(killed.crashed);
        const QStringList left = QDir(dir.filePath("out")).entryList({"*.pdf"}, QDir::Files);
        QVERIFY(!left.isEmpty() && left.size() < 6);
        for (const QString& name : left)
            QVERIFY2(!pageSizes(dir.filePath("out/" + name)).isEmpty(), qPrintable(name));

        const Run again = convert({"in", "-o", "out", "--skip-existing"}, dir.path());
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.out.contains(QString("%1 skipped").arg(left.size())), qPrintable(again.out));
        QCOMPARE(QDir(dir.filePath("out")).entryList({"*.pdf"}, QDir::Files).size(), 6);
        verifyNothingLeft(killed.pid);
        verifyNothingLeft(again.pid);
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

    // A broken setting or target, for a batch of two jobs, run in this
    // process with a program folder of its own: exit code 1, what is said on
    // standard error, the records and their reason; no target is written.
    // Without Ghostscript the batch ends after the first job, as the window
    // ends the program; a target folder that cannot be written fails each
    // job and the batch goes on.
    void brokenSettingOrTarget_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");   // on standard error
        QTest::addColumn<int>("failures");   // all of them failed
        QTest::addColumn<QString>("reason"); // of each record
        QTest::newRow("no LibreOffice in the registry")
            << "office"
            << "names no LibreOffice; building the program writes it" << 0 << QString();
        QTest::newRow("Ghostscript missing")
            << "gs"
            << "the batch stopped after the failure above; 1 jobs not done" << 1
            << "Converter is missing or corrupted. Please contact our Support Team.";
        QTest::newRow("target folder cannot be made")
            << "folder" << QString() << 2 << "the folder '%1' cannot be made";
        QTest::newRow("target folder read-only")
            << "read-only" << QString() << 2 << "Permission denied";
    }
    void brokenSettingOrTarget()
    {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        QFETCH(int, failures);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        for (const char* name : {"in/a.xls", "in/b.xls"})
            writeFile(dir.filePath(name), readFile(corpus("xls/poi_SampleSS.xls")));
        QString registry =
            QString::fromUtf8(readFile(QStringLiteral(QUILLMER_PROGRAM_DIR "/registry.reg")));
        QString out = dir.filePath("out");
        if (fault == "office")
            registry.replace("Excel\\InstallRoot]", "Excel\\Elsewhere]");
        if (fault == "gs")
            registry.replace(QRegularExpression("\"GSPath\"=\"[^\"]*\""),
                             "\"GSPath\"=\"" + dir.filePath("no-gs") + '"');
        if (fault == "folder") {
            writeFile(dir.filePath("file"), "a file");
            out = dir.filePath("file/out");
        }
        writeFile(dir.filePath("program/registry.reg"), registry.toUtf8());
        // Root ignores permission bits; the immutable attribute holds for root too.
        const bool immutable = fault == "read-only" && ::geteuid() == 0;
        if (fault == "read-only") {
            QVERIFY(QDir().mkpath(out));
            if (immutable ? !test::runProgram("chattr", {"+i", out}).succeeded
                          : !QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner))
                QSKIP("the folder cannot be made read-only here");
        }

        std::FILE* output = std::tmpfile();
        std::FILE* errors = std::tmpfile();
        // Only the print road runs Ghostscript.
        const QStringList road = fault == "gs" ? QStringList{"--road", "print"} : QStringList();
        const cli::CommandResult result = cli::runConvertCommand(
            QStringList{"in", "-o", out, "-j", "1", "--report", "report.jsonl"} + road,
            dir.filePath("program"), dir.path(), output, errors, false);
        const QString err = QString::fromUtf8(readRaw(errors));
        std::fclose(output);
        std::fclose(errors);
        if (immutable)
            test::runProgram("chattr", {"-i", out});
        else if (fault == "read-only")
            QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(result.exitCode, 1);
        QVERIFY2(err.contains(said), qPrintable(err));
        const QList<QJsonObject> report = records(dir.filePath("report.jsonl"));
        QCOMPARE(report.size(), failures);
        for (const QJsonObject& r : report) {
            QCOMPARE(r["status"].toString(), QString("failed"));
            QVERIFY2(r["error"].toString().contains(QString(reason).replace("%1", out)),
                     qPrintable(r["error"].toString()));
        }
        QCOMPARE(treeOf(dir.filePath("out")), QStringList());
        verifyNothingLeft(::getpid());
    }
};

QTEST_GUILESS_MAIN(TestConvertCommand)
#include "tst_convertcommand.moc"
