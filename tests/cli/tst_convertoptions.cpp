// quillmer-convert's options on workbooks that show them, on real
// LibreOffice: the sheets that print, fit to pages, one page per sheet, the
// split, PDF/A, open passwords, a workbook's own page set-up kept, and
// --as-window against the window's own conversion. Workbooks the corpus
// lacks are made by the office itself.
#include "frontend/conversionsession.h"
#include "office/libreofficehost.h"
#include "support/commandruns.h"
#include "support/enginefakes.h"
#include "support/fakes.h"
#include "support/officebooks.h"
#include "support/pdftools.h"
#include "support/registrytext.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <qpdf/QPDF.hh>

using namespace quillmer;
using quillmer::test::corpus;
using quillmer::test::pageSizes;
using quillmer::test::pdfText;
using quillmer::test::readFile;
using quillmer::test::reportRecords;
using quillmer::test::runConvert;
using quillmer::test::writeFile;

namespace {

// Wide (one row across 30 columns, several pages wide), Plain, Secret
// (hidden) and Tall (150 rows, several pages down).
QByteArray sheetsWorkbook()
{
    QByteArray wide = "<table:table table:name=\"Wide\"><table:table-row>";
    for (int c = 1; c <= 30; ++c)
        wide += "<table:table-cell><text:p>column " + QByteArray::number(c) +
                "</text:p></table:table-cell>";
    wide += "</table:table-row></table:table>\n";
    QByteArray tall = "<table:table table:name=\"Tall\">";
    for (int r = 1; r <= 150; ++r)
        tall += "<table:table-row><table:table-cell><text:p>row " + QByteArray::number(r) +
                "</text:p></table:table-cell></table:table-row>";
    tall += "</table:table>\n";
    return test::OfficeBooks::spreadsheet(
        wide +
            "<table:table table:name=\"Plain\"><table:table-row><table:table-cell><text:p>"
            "plain sheet</text:p></table:table-cell></table:table-row></table:table>\n"
            "<table:table table:name=\"Secret\" table:style-name=\"hidden\"><table:table-row>"
            "<table:table-cell><text:p>secret sheet</text:p></table:table-cell>"
            "</table:table-row></table:table>\n" +
            tall,
        R"(<style:style style:name="hidden" style:family="table">)"
        R"(<style:table-properties table:display="false"/></style:style>)");
}

// Whether anything in the PDF draws with transparency: a soft mask, a
// transparency group, a blend mode or an opacity below 1.
bool usesTransparency(const QString& pdf)
{
    QPDF document;
    document.setSuppressWarnings(true);
    document.processFile(QFile::encodeName(pdf).constData());
    for (QPDFObjectHandle object : document.getAllObjects()) {
        QPDFObjectHandle d = object.isStream() ? object.getDict() : object;
        if (!d.isDictionary())
            continue;
        if (d.hasKey("/SMask") && !d.getKey("/SMask").isName())
            return true;
        if (d.hasKey("/S") && d.getKey("/S").isName() &&
            d.getKey("/S").getName() == "/Transparency")
            return true;
        if (d.hasKey("/BM") && d.getKey("/BM").isName() && d.getKey("/BM").getName() != "/Normal")
            return true;
        for (const char* alpha : {"/CA", "/ca"})
            if (d.hasKey(alpha) && d.getKey(alpha).isNumber() &&
                d.getKey(alpha).getNumericValue() < 1)
                return true;
    }
    return false;
}

// The fonts pdffonts lists, each with whether it is embedded.
QList<bool> fontsEmbedded(const QString& pdf)
{
    QList<bool> out;
    const QList<QByteArray> lines = test::runProgram("pdffonts", {pdf}).output.split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> words = lines[i].simplified().split(' ');
        // name, type (one or two words), encoding, emb, sub, uni, object, id
        if (words.size() >= 7)
            out << (words[words.size() - 5] == "yes");
    }
    return out;
}

// pdfaid:part and pdfaid:conformance of the PDF's XMP, as "2B".
QString pdfaIdentification(const QString& pdf)
{
    const QString xmp = QString::fromUtf8(test::runProgram("pdfinfo", {"-meta", pdf}).output);
    static const QRegularExpression part(R"(pdfaid:part(?:>|=")(\d))");
    static const QRegularExpression conformance(R"(pdfaid:conformance(?:>|=")([A-Za-z]))");
    return part.match(xmp).captured(1) + conformance.match(xmp).captured(1);
}

} // namespace

class TestConvertOptions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_sheets;   // the workbook of four sheets
    QString m_password; // encrypted with Password
    // At most 15 characters: the office stores a longer one without any
    // encryption, as Excel cannot open with more.
    const QString Password = QStringLiteral("hörse±42");

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // The command on the workbook with these options; its PDFs are below
    // out/, its report in out/report.jsonl.
    test::CommandRun run(const QString& out, const QString& workbook, const QStringList& options)
    {
        QDir().mkpath(path(out));
        return runConvert(QStringList{"-j", "1", "-o", out, "--report", out + "/report.jsonl"} +
                              options + QStringList{workbook},
                          m_dir.path());
    }

private slots:
    void initTestCase()
    {
        test::OfficeBooks office;
        m_sheets = path("sheets.xls");
        m_password = path("secret.xls");
        QVERIFY(office.write(sheetsWorkbook(), m_sheets));
        QVERIFY(office.write(
            test::OfficeBooks::spreadsheet("<table:table table:name=\"Locked\"><table:table-row>"
                                           "<table:table-cell><text:p>behind a password</text:p>"
                                           "</table:table-cell></table:table-row></table:table>"),
            m_password, Password));
    }

    void cleanup() { QCOMPARE(test::ourOfficeProcesses(), QList<pid_t>()); }

    // Which sheets print, fit to one page wide, one page per sheet, a range
    // past the last page, and a sheet the workbook lacks. By default the hidden sheet is left out;
    // named, by number or name, it prints.
    void sheetsAndPageSetup()
    {
        QVERIFY(run("split", m_sheets, {"--split-sheets"}).exitCode == 0);
        const QList<QJsonObject> split = reportRecords(path("split/report.jsonl"));
        QStringList sheets;
        for (const QJsonObject& r : split) {
            sheets << r["sheet"].toString();
            QCOMPARE(test::pageSizes(r["target"].toString()).size(), r["pages"].toInt());
        }
        QCOMPARE(sheets, (QStringList{"Wide", "Plain", "Tall"}));
        const QString wide = path("split/sheets-Wide.pdf"), tall = path("split/sheets-Tall.pdf");
        QVERIFY(pageSizes(wide).size() > 1);
        const int tallPages = int(pageSizes(tall).size());
        QVERIFY(tallPages > 1);
        QVERIFY(!pdfText(path("split/sheets-Plain.pdf")).contains("secret"));

        // One page wide; Tall keeps as many pages down as it needs.
        QVERIFY(run("fit", m_sheets, {"--split-sheets", "--fit", "1x0"}).exitCode == 0);
        QCOMPARE(pageSizes(path("fit/sheets-Wide.pdf")).size(), 1);
        QVERIFY(pdfText(path("fit/sheets-Wide.pdf")).contains("column 30"));
        QCOMPARE(pageSizes(path("fit/sheets-Tall.pdf")).size(), tallPages);

        QVERIFY(run("one", m_sheets, {"--one-page-per-sheet"}).exitCode == 0);
        const QList<QSizeF> own = pageSizes(path("one/sheets.pdf"));
        QCOMPARE(own.size(), 3);
        QVERIFY(own[0].width() > own[0].height() && own[2].height() > own[2].width());

        QVERIFY(run("named", m_sheets, {"--sheets", "2,secret"}).exitCode == 0);
        const QString named = pdfText(path("named/sheets.pdf"));
        QVERIFY(named.contains("plain sheet") && named.contains("secret sheet"));
        QVERIFY(!named.contains("column 1") && !named.contains("row 1"));

        // A failed export leaves the PDF there as it was, and nothing else.
        const QByteArray before = readFile(path("named/sheets.pdf"));
        QCOMPARE(run("named", m_sheets, {"--pages", "90-99"}).exitCode, 1);
        QVERIFY(reportRecords(path("named/report.jsonl"))
                    .value(0)["error"]
                    .toString()
                    .contains("no page 90: the workbook prints"));
        QCOMPARE(readFile(path("named/sheets.pdf")), before);
        QCOMPARE(
            QDir(path("named")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"report.jsonl", "sheets.pdf"}));

        const test::CommandRun unknown = run("unknown", m_sheets, {"--sheets", "Plain,Nope"});
        QCOMPARE(unknown.exitCode, 1);
        const QJsonObject failed = reportRecords(path("unknown/report.jsonl")).value(0);
        QCOMPARE(failed["status"].toString(), QString("failed"));
        QCOMPARE(failed["error"].toString(), QString("the workbook has no sheet 'Nope'"));
        QVERIFY(!QFile::exists(path("unknown/sheets.pdf")));
    }

    // PDF/A through the export's own setting: the XMP says which, every
    // font is embedded; PDF/A-1 (the office writes level A, which holds
    // level B's rules) draws a picture with a soft mask, which the plain
    // export keeps, without transparency.
    void pdfA()
    {
        QVERIFY(run("a2", m_sheets, {"--pdfa", "2b"}).exitCode == 0);
        QCOMPARE(pdfaIdentification(path("a2/sheets.pdf")), QString("2B"));
        const QList<bool> embedded = fontsEmbedded(path("a2/sheets.pdf"));
        QVERIFY(!embedded.isEmpty() && !embedded.contains(false));

        const QString logo = corpus("xls/edr_Test_git_issue321.xls");
        QVERIFY(run("plain", logo, {}).exitCode == 0);
        QVERIFY(usesTransparency(path("plain/edr_Test_git_issue321.pdf")));
        QVERIFY(run("a1", logo, {"--pdfa", "1b"}).exitCode == 0);
        const QString a1 = path("a1/edr_Test_git_issue321.pdf");
        QVERIFY2(QStringList({"1A", "1B"}).contains(pdfaIdentification(a1)),
                 qPrintable(pdfaIdentification(a1)));
        QVERIFY(!usesTransparency(a1));
        QVERIFY(!fontsEmbedded(a1).contains(false));
    }

    // An encrypted workbook: converted with its password from a file;
    // refused at once with a wrong one and with none, each with its
    // reason; the password in no output, and no office left waiting.
    void passwords()
    {
        writeFile(path("right.txt"), Password.toUtf8() + "\nnot the password\n");
        writeFile(path("wrong.txt"), "Hörse±42\r\n");
        const test::CommandRun right = run("right", m_password, {"--password-file", "right.txt"});
        QCOMPARE(right.exitCode, 0);
        QVERIFY(pdfText(path("right/secret.pdf")).contains("behind a password"));

        QElapsedTimer clock;
        clock.start();
        const test::CommandRun wrong = run("wrong", m_password, {"--password-file", "wrong.txt"});
        const test::CommandRun none = run("none", m_password, {});
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(wrong.exitCode, 1);
        QCOMPARE(none.exitCode, 1);
        QVERIFY(reportRecords(path("wrong/report.jsonl"))
                    .value(0)["error"]
                    .toString()
                    .endsWith("the password does not open the workbook."));
        QVERIFY(reportRecords(path("none/report.jsonl"))
                    .value(0)["error"]
                    .toString()
                    .endsWith("the workbook needs a password."));
        for (const test::CommandRun& r : {right, wrong, none})
            QVERIFY(!(r.out + r.err).contains("rse±4", Qt::CaseInsensitive));
        for (const char* report : {"right", "wrong", "none"})
            QVERIFY(!QString::fromUtf8(readFile(path(report + QString("/report.jsonl"))))
                         .contains("rse±4", Qt::CaseInsensitive));
    }

    // By default a workbook keeps its own fit to pages: the office's own
    // export of poi_54016 has its pages, not the 278 of scale 100 %.
    void ownPageSetupKept()
    {
        const QString workbook = corpus("xls/poi_54016.xls");
        QVERIFY(run("own", workbook, {}).exitCode == 0);
        test::runProgram("/usr/lib/libreoffice/program/soffice",
                         {"-env:UserInstallation=file://" + path("profile"), "--headless",
                          "--convert-to", "pdf", "--outdir", path("office"), workbook},
                         120000);
        const int office = int(pageSizes(path("office/poi_54016.pdf")).size());
        QVERIFY(office > 0 && office < 278);
        QCOMPARE(pageSizes(path("own/poi_54016.pdf")).size(), office);
    }

    // --as-window gives the window's own conversion: the same pages and
    // text as the window's pipeline makes of the same workbook.
    void asWindowMatchesTheWindow()
    {
        const QString workbook = corpus("xls/poi_SampleSS.xls");
        QVERIFY(run("window", workbook, {"--as-window", "--landscape"}).exitCode == 0);

        ConversionOptions window;
        window.landscape = true;
        window.openAfterConversion = 0;
        FixedConversionOptions options(window);
        test::RecordingJobs jobs;
        jobs.rowTexts << "poi_SampleSS.xls";
        test::FakeMessageBox messages;
        test::FakePointer pointer;
        ErrorHandler errors(messages, pointer);
        test::RecordingDocumentShell shell;
        test::RecordingProgramExit exit;
        office::LibreOfficeHostFactory hosts(test::ProgramRegistry);
        printqueue::RegistryPrinters printers(test::ProgramRegistry);
        ProcessCommandRunner runner;
        Registry registry(test::ProgramRegistry);
        NoWindowsVersion version;
        ScratchFolder scratch(path("scratch"));
        ConversionSession session(ConversionSessionContext{
            options, jobs, messages, errors, shell, exit,
            ConversionServices{hosts, printers, runner, registry, version, scratch}});
        session.convert(workbook, path("pipeline.pdf"));

        const QString command = path("window/poi_SampleSS.pdf");
        QCOMPARE(pageSizes(command), pageSizes(path("pipeline.pdf")));
        QCOMPARE(test::pageTexts(command), test::pageTexts(path("pipeline.pdf")));
    }
};

QTEST_GUILESS_MAIN(TestConvertOptions)
#include "tst_convertoptions.moc"
