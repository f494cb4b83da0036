#include "engine/printstep.h"
#include "errors/apperror.h"
#include "platform/libreofficehost.h"
#include "support/errornumber.h"
#include "support/files.h"
#include "support/pdftools.h"
#include "support/registrytext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSizeF>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <signal.h>

using namespace quillmer;
using namespace quillmer::platform;

using quillmer::test::corpus;
using quillmer::test::errorNumber;
using quillmer::test::pageSizes;
using quillmer::test::pdfText;
using quillmer::test::readFile;

namespace {

QByteArray run(const QString& program, const QStringList& arguments)
{
    return test::runProgram(program, arguments).output;
}

// Dark pixels of one page rendered in grey at 50 dots per inch.
int darkPixels(const QString& pdf, int page, const QString& folder)
{
    const QByteArray pixels = test::pagePixels(pdf, page, folder, 50);
    if (pixels.isEmpty())
        return -1;
    return int(std::count_if(pixels.begin(), pixels.end(), [](char c) { return quint8(c) < 128; }));
}

// The real printers, keeping a copy of each PDF spool: the spool still has
// the text layer that the PostScript round trip loses, so the tests can
// read what was printed.
class SpoolKeepingPrinters : public InstalledPrinters
{
public:
    SpoolKeepingPrinters(const QString& registry, QString keep)
        : m_real(registry), m_keep(std::move(keep))
    {
    }
    QStringList deviceNames() const override { return m_real.deviceNames(); }
    void printToFile(const QString& deviceName, const QString& spoolPdf, const QString& outputFile,
                     std::chrono::milliseconds timeLimit) override
    {
        QFile::remove(m_keep);
        QFile::copy(spoolPdf, m_keep);
        m_real.printToFile(deviceName, spoolPdf, outputFile, timeLimit);
    }

private:
    RegistryPrinters m_real;
    QString m_keep;
};

// Two sheets that share the default page style; the first has a print
// range A1:A1 and text outside it.
const char* const SharedStyleWorkbook = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:body><office:spreadsheet>
  <table:table table:name="First" table:print-ranges="First.A1:First.A1">
   <table:table-row><table:table-cell><text:p>inside</text:p></table:table-cell></table:table-row>
   <table:table-row table:number-rows-repeated="30"><table:table-cell/></table:table-row>
   <table:table-row><table:table-cell table:number-columns-repeated="2"/><table:table-cell><text:p>outside the stored print area, well outside</text:p></table:table-cell></table:table-row>
  </table:table>
  <table:table table:name="Second">
   <table:table-row><table:table-cell><text:p>second sheet</text:p></table:table-cell></table:table-row>
  </table:table>
 </office:spreadsheet></office:body>
</office:document>
)";

} // namespace

class TestPrintStep : public QObject
{
    Q_OBJECT

    std::unique_ptr<SpreadsheetHost> m_host;
    pid_t m_pid = 0;
    QTemporaryDir m_dir;
    int m_count = 0;

    QString scratch() const { return m_dir.filePath("scratch"); }
    // The text of the last print, from its spool.
    QString spool() const { return m_dir.filePath("spool.pdf"); }
    QString printedText() const { return pdfText(spool()); }

    // Page set-up and print of the workbook's first sheet with these
    // options, then the PostScript made into a PDF; the PDF's path.
    QString convert(const QString& workbook, const ConversionOptions& options)
    {
        auto book = m_host->WorkbooksOpen(workbook);
        auto sheet = book->Sheets(1);
        PrintWorkbookToPostScript(*m_host, *sheet, FixedConversionOptions(options), scratch());
        book->Close();
        const QString ps = scratch() + PsFileName;
        if (!readFile(ps).startsWith("%!PS"))
            return QString();
        const QString pdf = m_dir.filePath(QStringLiteral("out%1.pdf").arg(++m_count));
        run("gs", {"-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite",
                   "-sOutputFile=" + pdf, ps});
        QFile::remove(ps);
        return pdf;
    }

    QString sharedStyleWorkbook()
    {
        const QString path = m_dir.filePath("shared.fods");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(SharedStyleWorkbook);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(scratch()));
        // The program folder's own registry: LibreOffice, Ghostscript and
        // the "Quillmer" queue as the build found them.
        const QString registry = test::ProgramRegistry;
        m_host = std::make_unique<LibreOfficeHost>(
            LibreOfficeHost::programFolderFromRegistry(RegistryFile::load(registry)),
            std::make_shared<SpoolKeepingPrinters>(registry, spool()));
        m_pid = static_cast<LibreOfficeHost*>(m_host.get())->processId();
        QVERIFY(m_pid > 0);
    }

    void paperSizes_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QSizeF>("points");
        QTest::newRow("A4") << "A4" << QSizeF(595.28, 841.89);
        QTest::newRow("Legal") << "Legal" << QSizeF(612, 1008);
        QTest::newRow("A5") << "A5" << QSizeF(419.53, 595.28);
        QTest::newRow("Letter") << "Letter" << QSizeF(612, 792);
        QTest::newRow("B4") << "B4" << QSizeF(708.66, 1003.46);
        QTest::newRow("B5") << "B5" << QSizeF(515.91, 728.50);
    }
    void paperSizes()
    {
        QFETCH(QString, paper);
        QFETCH(QSizeF, points);
        ConversionOptions options;
        options.paperSize = paper;
        const QList<QSizeF> sizes = pageSizes(convert(corpus("xls/poi_SampleSS.xls"), options));
        QVERIFY(!sizes.isEmpty());
        QVERIFY2(
            qAbs(sizes[0].width() - points.width()) <= 1 &&
                qAbs(sizes[0].height() - points.height()) <= 1,
            qPrintable(QStringLiteral("%1 x %2").arg(sizes[0].width()).arg(sizes[0].height())));
    }

    // A text the list does not hold (case counts) leaves the size alone:
    // this workbook is set up for Letter.
    void unknownPaperKeepsTheSize()
    {
        ConversionOptions options;
        options.paperSize = "a4";
        const QList<QSizeF> sizes =
            pageSizes(convert(corpus("xls/poi_SimpleWithPrintArea.xls"), options));
        QVERIFY(!sizes.isEmpty());
        QVERIFY(qAbs(sizes[0].width() - 612) <= 1 && qAbs(sizes[0].height() - 792) <= 1);
    }

    // Landscape on the first sheet; the second prints as it was set up.
    void landscape()
    {
        ConversionOptions options;
        options.landscape = true;
        const QList<QSizeF> sizes = pageSizes(convert(corpus("xls/poi_SampleSS.xls"), options));
        QCOMPARE(sizes.size(), 2);
        QVERIFY(sizes[0].width() > sizes[0].height());
        QVERIFY(sizes[1].width() < sizes[1].height());
    }

    void zoomHalvesThePages()
    {
        ConversionOptions options;
        options.scale = "100";
        const int full = pageSizes(convert(corpus("xls/edr_Test255x10.xls"), options)).size();
        options.scale = " 50 ";
        const int half = pageSizes(convert(corpus("xls/edr_Test255x10.xls"), options)).size();
        QVERIFY2(half > 0 && half < full,
                 qPrintable(QStringLiteral("%1 / %2").arg(half).arg(full)));
    }

    // Only value 1 of the check box prints gridlines; 2 counts as unticked.
    void gridlines()
    {
        ConversionOptions options;
        int dark[3];
        for (int value : {0, 1, 2}) {
            options.showGridlines = value;
            dark[value] =
                darkPixels(convert(corpus("xls/poi_SampleSS.xls"), options), 1, m_dir.path());
        }
        QVERIFY(dark[0] > 0);
        QVERIFY2(dark[1] > dark[0] + 100,
                 qPrintable(QStringLiteral("%1 / %2").arg(dark[1]).arg(dark[0])));
        QCOMPARE(dark[2], dark[0]);
    }

    // Column letters and row numbers are printed and add ink to the page;
    // value 2 counts as unticked.
    void headings()
    {
        ConversionOptions options;
        options.showGridlines = 0;
        static const QRegularExpression columns(R"((^|\s)A\s+B(\s|$))",
                                                QRegularExpression::MultilineOption);
        static const QRegularExpression row2(R"(^\s*2\s)", QRegularExpression::MultilineOption);
        int dark[3];
        QString firstPage[3];
        for (int value : {0, 1, 2}) {
            options.showHeaders = value;
            dark[value] =
                darkPixels(convert(corpus("xls/poi_SampleSS.xls"), options), 1, m_dir.path());
            firstPage[value] = printedText().section(u'\f', 0, 0);
        }
        QVERIFY2(firstPage[1].contains(columns) && firstPage[1].contains(row2),
                 qPrintable(firstPage[1]));
        QVERIFY(!firstPage[0].contains(columns) && !firstPage[0].contains(row2));
        QCOMPARE(firstPage[2], firstPage[0]);
        QVERIFY(dark[0] > 0);
        QVERIFY2(dark[1] > dark[0] + 100,
                 qPrintable(QStringLiteral("%1 / %2").arg(dark[1]).arg(dark[0])));
        QCOMPARE(dark[2], dark[0]);
    }

    // The stored print area A1:A1 leaves out the text further down; once it
    // is cleared, that text prints too.
    void storedPrintAreaIsCleared()
    {
        const QString workbook = sharedStyleWorkbook();
        auto book = m_host->WorkbooksOpen(workbook);
        const QString ps = scratch() + PsFileName;
        book->PrintOut({}, {}, {}, {}, QVariant(PdfPrinterQueue), QVariant(true), {}, QVariant(ps));
        book->Close();
        const QString plain = m_dir.filePath("plain.pdf");
        run("gs", {"-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=pdfwrite",
                   "-sOutputFile=" + plain, ps});
        const int stored = darkPixels(plain, 1, m_dir.path());
        QVERIFY(printedText().contains("inside"));
        QVERIFY(!printedText().contains("outside"));

        ConversionOptions options;
        options.showGridlines = 0;
        const int cleared = darkPixels(convert(workbook, options), 1, m_dir.path());
        QVERIFY(printedText().section(u'\f', 0, 0).contains("outside the stored print area"));
        QVERIFY(printedText().contains("second sheet"));
        QVERIFY(stored > 0);
        QVERIFY2(cleared > stored + 40,
                 qPrintable(QStringLiteral("%1 / %2").arg(cleared).arg(stored)));
    }

    // Both sheets print with one page style: the first gets a copy of its
    // own, and the second keeps portrait.
    void sharedPageStyleStaysWithTheOtherSheet()
    {
        ConversionOptions options;
        options.landscape = true;
        const QString pdf = convert(sharedStyleWorkbook(), options);
        const QList<QSizeF> sizes = pageSizes(pdf);
        QVERIFY(sizes.size() >= 2);
        QVERIFY(sizes.first().width() > sizes.first().height());
        QVERIFY(sizes.last().width() < sizes.last().height());
    }

    // A page range still prints the whole workbook; the Ghostscript run that
    // follows cuts the range in the workbook's own numbering.
    void pageRangePrintsTheWholeWorkbook()
    {
        ConversionOptions options;
        options.allPages = false;
        options.firstPage = "2";
        options.lastPage = "2";
        QCOMPARE(pageSizes(convert(corpus("xls/poi_SampleSS.xls"), options)).size(), 2);
    }

    void badScaleTextsFail()
    {
        ConversionOptions options;
        for (const auto& [scale, number] : {std::pair<QString, qint32>{"abc", err::TypeMismatch},
                                            {"", err::TypeMismatch},
                                            {"99999", err::Overflow},
                                            {"500", err::ObjectDefined},
                                            {"5", err::ObjectDefined}}) {
            options.scale = scale;
            auto book = m_host->WorkbooksOpen(corpus("xls/poi_SampleSS.xls"));
            auto sheet = book->Sheets(1);
            QCOMPARE(errorNumber([&] {
                         PrintWorkbookToPostScript(*m_host, *sheet, FixedConversionOptions(options),
                                                   scratch());
                     }),
                     number);
            book->Close();
            QVERIFY(!QFileInfo::exists(scratch() + PsFileName));
        }
        QCOMPARE(TextToInteger16("100.5"), qint16(100)); // half to even
        QCOMPARE(TextToInteger16("101.5"), qint16(102));
    }

    // The source is opened read-only: not a byte changes, and no lock file
    // appears beside it.
    void sourceStaysAsItWas()
    {
        QTemporaryDir source;
        const QString copy = source.filePath("book.xls");
        QVERIFY(QFile::copy(corpus("xls/poi_SampleSS.xls"), copy));
        const QByteArray before =
            QCryptographicHash::hash(readFile(copy), QCryptographicHash::Sha256);
        QVERIFY(!convert(copy, ConversionOptions()).isEmpty());
        QCOMPARE(QCryptographicHash::hash(readFile(copy), QCryptographicHash::Sha256), before);
        QCOMPARE(
            QDir(source.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"book.xls"});
    }

    // Latin, Cyrillic, Arabic and CJK text print in real, embedded fonts (the set-up
    // installs them), never in substitutes drawn as Type 3 shapes.
    void scriptsRenderWithRealFonts()
    {
        const QString unicode =
            convert(corpus("xls/edr_TestUnicodeChars.xls"), ConversionOptions());
        QString text = printedText();
        const QString chinese =
            convert(corpus("xls/poi_chinese-provinces.xls"), ConversionOptions());
        text += printedText();
        auto has = [&](char16_t from, char16_t to) {
            return std::any_of(text.begin(), text.end(),
                               [&](QChar c) { return c >= from && c <= to; });
        };
        QVERIFY(has(u'A', u'z'));
        QVERIFY(has(0x0400, 0x04FF)); // Cyrillic
        QVERIFY(has(0x0600, 0x06FF)); // Arabic
        QVERIFY(has(0x4E00, 0x9FFF)); // CJK
        for (const QString& pdf : {unicode, chinese}) {
            const QList<QByteArray> rows = run("pdffonts", {pdf}).split('\n').mid(2);
            QVERIFY(!rows.isEmpty());
            for (const QByteArray& row : rows)
                QVERIFY2(row.isEmpty() || (row.contains(" yes ") && !row.contains("Type 3")),
                         row.constData());
        }
        QVERIFY(run("pdffonts", {unicode}).contains("DejaVuSans"));
        QVERIFY(run("pdffonts", {chinese}).contains("CJK"));
    }

    void cleanupTestCase()
    {
        m_host->Quit();
        QVERIFY(::kill(m_pid, 0) != 0);
    }
};

QTEST_GUILESS_MAIN(TestPrintStep)
#include "tst_printstep.moc"
