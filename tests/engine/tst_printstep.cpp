#include "engine/printstep.h"
#include "errors/apperror.h"
#include "office/libreofficehost.h"
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
using namespace quillmer::office;
using namespace quillmer::printqueue;
using namespace quillmer::platform;

using quillmer::test::corpus;
using quillmer::test::errorNumber;
using quillmer::test::pageSizes;
using quillmer::test::pageTexts;
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

// The real printers, keeping a copy of each PDF spool: the spool is the
// office's own PDF export of the workbook with the page set-up applied, the
// reference the printed PDFs are compared with.
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

// A flat OpenDocument spreadsheet around these tables, with these styles.
QByteArray spreadsheet(const QByteArray& tables, const QByteArray& styles = {})
{
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
)") + styles +
           "\n <office:body><office:spreadsheet>\n" + tables +
           " </office:spreadsheet></office:body>\n</office:document>\n";
}

// Two sheets that share the default page style; the first has a print
// range A1:A1 and text outside it.
const char* const SharedStyleWorkbook =
    R"(  <table:table table:name="First" table:print-ranges="First.A1:First.A1">
   <table:table-row><table:table-cell><text:p>inside</text:p></table:table-cell></table:table-row>
   <table:table-row table:number-rows-repeated="30"><table:table-cell/></table:table-row>
   <table:table-row><table:table-cell table:number-columns-repeated="2"/><table:table-cell><text:p>outside the stored print area, well outside</text:p></table:table-cell></table:table-row>
  </table:table>
  <table:table table:name="Second">
   <table:table-row><table:table-cell><text:p>second sheet</text:p></table:table-cell></table:table-row>
  </table:table>
)";

// Vietnamese, with its marks both precomposed and as combining characters.
const char* const VietnameseWorkbook = R"(  <table:table table:name="Trang">
   <table:table-row><table:table-cell><text:p>Tiếng Việt: Đường phố Hà Nội, người ở đây rất thân thiện.</text:p></table:table-cell></table:table-row>
   <table:table-row><table:table-cell><text:p>Tiếng Việt có dấu hỏi, ngã</text:p></table:table-cell></table:table-row>
  </table:table>
)";

// Long texts, in Latin and in Cyrillic, in the last of the narrow columns a
// page holds, each running past the printed area onto the next page: the
// office draws each on both pages under a clip. The last eight have their
// neighbour filled, so that the office cuts them short at the cell.
QByteArray clippedTextWorkbook()
{
    const QStringList latin = QStringLiteral("The carrier undertakes to deliver the consignment "
                                             "entrusted to him by the shipper to the point of "
                                             "destination and release it")
                                  .split(u' ');
    const QStringList cyrillic =
        QStringLiteral("Перевозчик груза обязуется доставить вверенный ему отправителем груз в "
                       "пункт назначения и выдать его управомоченному на получение лицу")
            .split(u' ');
    QString rows;
    for (int i = 0; i < 48; ++i) {
        const QStringList& words = i % 2 ? cyrillic : latin;
        const int column = i < 40 ? 7 : 6;
        rows +=
            QStringLiteral("<table:table-row><table:table-cell><text:p>%1</text:p>"
                           "</table:table-cell><table:table-cell "
                           "table:number-columns-repeated=\"%2\"/><table:table-cell><text:p>%3"
                           "</text:p></table:table-cell>%4</table:table-row>\n")
                .arg(i)
                .arg(column - 1)
                .arg(words.mid((i / 2) % (words.size() - 8), 8).join(u' '),
                     column == 6 ? "<table:table-cell><text:p>x</text:p></table:table-cell>" : "");
    }
    return spreadsheet(
        ("  <table:table table:name=\"Clipped\">\n   <table:table-column "
         "table:style-name=\"narrow\" table:number-columns-repeated=\"16\"/>\n" +
         rows + "  </table:table>\n")
            .toUtf8(),
        R"(<office:automatic-styles><style:style style:name="narrow" style:family="table-column">)"
        R"(<style:table-column-properties style:column-width="0.8in"/></style:style>)"
        "</office:automatic-styles>");
}

// The words of each page as pdftotext reads them, sorted.
QList<QStringList> pageWords(const QString& pdf)
{
    QList<QStringList> pages;
    for (const QString& page : pageTexts(pdf)) {
        QStringList words = page.split(u' ', Qt::SkipEmptyParts);
        words.sort();
        pages << words;
    }
    return pages;
}

} // namespace

class TestPrintStep : public QObject
{
    Q_OBJECT

    std::unique_ptr<SpreadsheetHost> m_host;
    pid_t m_pid = 0;
    QTemporaryDir m_dir;
    int m_count = 0;

    QString scratch() const { return m_dir.filePath("scratch"); }
    // The office's own export of the last print.
    QString spool() const { return m_dir.filePath("spool.pdf"); }

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

    QString writtenWorkbook(const QString& name, const QByteArray& spreadsheet)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(spreadsheet);
        return path;
    }
    QString sharedStyleWorkbook()
    {
        return writtenWorkbook("shared.fods", spreadsheet(SharedStyleWorkbook));
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
        const QString pdf = convert(corpus("xls/poi_SampleSS.xls"), options);
        const QList<QSizeF> sizes = pageSizes(pdf);
        QCOMPARE(sizes.size(), 2);
        QVERIFY(sizes[0].width() > sizes[0].height());
        QVERIFY(sizes[1].width() < sizes[1].height());
        // Upright as the office laid it out: no page turned by a quarter.
        QVERIFY(!run("pdfinfo", {"-f", "1", "-l", "2", pdf}).contains(" rot:   90"));
        const QStringList text = pageTexts(pdf);
        QVERIFY(!text.value(0).isEmpty());
        QCOMPARE(text, pageTexts(spool()));
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
            const QString pdf = convert(corpus("xls/poi_SampleSS.xls"), options);
            dark[value] = darkPixels(pdf, 1, m_dir.path());
            firstPage[value] = pdfText(pdf).section(u'\f', 0, 0);
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
        QVERIFY(pdfText(plain).contains("inside"));
        QVERIFY(!pdfText(plain).contains("outside"));

        ConversionOptions options;
        options.showGridlines = 0;
        const QString pdf = convert(workbook, options);
        const int cleared = darkPixels(pdf, 1, m_dir.path());
        QVERIFY(pdfText(pdf).section(u'\f', 0, 0).contains("outside the stored print area"));
        QVERIFY(pdfText(pdf).contains("second sheet"));
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

    // Every script keeps its text, page by page as in the office's own
    // export, in real embedded fonts (the set-up installs them), never in
    // substitutes drawn as Type 3 shapes.
    void scriptsKeepTheirText_data()
    {
        QTest::addColumn<QString>("workbook");
        QTest::addColumn<QList<char16_t>>("range");
        QTest::addColumn<QByteArray>("font");
        QTest::newRow("Latin") << corpus("xls/poi_SampleSS.xls") << QList<char16_t>{u'A', u'z'}
                               << QByteArray("NotoSans");
        QTest::newRow("Cyrillic") << corpus("xls/edr_TestUnicodeChars.xls")
                                  << QList<char16_t>{0x0400, 0x04FF} << QByteArray("DejaVuSans");
        QTest::newRow("Arabic") << corpus("xls/edr_TestUnicodeChars.xls")
                                << QList<char16_t>{0x0600, 0x06FF} << QByteArray("DejaVuSans");
        QTest::newRow("CJK") << corpus("xls/poi_chinese-provinces.xls")
                             << QList<char16_t>{0x4E00, 0x9FFF} << QByteArray("CJK");
        QTest::newRow("Vietnamese")
            << QString() << QList<char16_t>{0x1EA0, 0x1EF9} << QByteArray("Liberation");
    }
    void scriptsKeepTheirText()
    {
        QFETCH(QString, workbook);
        QFETCH(QList<char16_t>, range);
        QFETCH(QByteArray, font);
        if (workbook.isEmpty())
            workbook = writtenWorkbook("vietnamese.fods", spreadsheet(VietnameseWorkbook));
        const QString pdf = convert(workbook, ConversionOptions());
        const QStringList text = pageTexts(pdf);
        QCOMPARE(text, pageTexts(spool()));
        const QString all = text.join(u' ');
        QVERIFY2(std::any_of(all.begin(), all.end(),
                             [&](QChar c) { return c >= range[0] && c <= range[1]; }),
                 qPrintable(all.left(200)));
        const QByteArray fonts = run("pdffonts", {pdf});
        const QList<QByteArray> rows = fonts.split('\n').mid(2);
        QVERIFY(!rows.isEmpty());
        for (const QByteArray& row : rows)
            QVERIFY2(row.isEmpty() || (row.contains(" yes ") && !row.contains("Type 3")),
                     row.constData());
        QVERIFY2(fonts.contains(font), fonts.constData());
    }

    // Text the office clips at the printed area keeps every word whole, as
    // in its own export, and the pages look the same: a word under the
    // clip's edge lost its letters beyond it.
    void clippedTextKeepsItsWords()
    {
        ConversionOptions options;
        options.showGridlines = 0;
        const QString pdf =
            convert(writtenWorkbook("clipped.fods", clippedTextWorkbook()), options);
        const QList<QStringList> words = pageWords(pdf);
        QVERIFY(words.size() >= 2);
        QVERIFY(words[0].contains(QStringLiteral("назначения")));
        QCOMPARE(words, pageWords(spool()));
        for (int page = 1; page <= words.size(); ++page)
            QVERIFY(test::samePage(test::pagePixels(pdf, page, m_dir.path(), 50),
                                   test::pagePixels(spool(), page, m_dir.path(), 50)));
    }

    void cleanupTestCase()
    {
        m_host->Quit();
        QVERIFY(::kill(m_pid, 0) != 0);
    }
};

QTEST_GUILESS_MAIN(TestPrintStep)
#include "tst_printstep.moc"
