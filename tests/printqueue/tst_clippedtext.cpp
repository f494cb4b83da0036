#include "printqueue/clippedtext.h"
#include "printqueue/ghostscriptcommand.h"
#include "printqueue/printers.h"
#include "support/files.h"
#include "support/pdftools.h"
#include "support/registrytext.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;
using namespace quillmer::printqueue;

namespace {

// Every glyph 500 wide, in a box from 0 to 700 high.
const QHash<QByteArray, clippedtext::FontMetrics> Fonts = [] {
    clippedtext::FontMetrics metrics;
    metrics.missingWidth = 500;
    metrics.urx = 500;
    metrics.ury = 700;
    return QHash<QByteArray, clippedtext::FontMetrics>{{"F1", metrics}};
}();
const clippedtext::Box Page{0, 0, 200, 100};

QByteArray marked(const QByteArray& content, int* count)
{
    return clippedtext::markInvisible(content, Fonts, Page, count);
}

} // namespace

class TestClippedText : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void marksTextOutsideItsClip_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("count");
        QTest::newRow("on the page") << QByteArray("BT /F1 10 Tf 20 20 Td (Seen) Tj ET")
                                     << QByteArray("BT /F1 10 Tf 20 20 Td (Seen) Tj ET") << 0;
        // Wholly off the page: left as it is (no reader finds it there).
        QTest::newRow("off the page") << QByteArray("BT /F1 10 Tf 250 20 Td (Gone) Tj ET")
                                      << QByteArray("BT /F1 10 Tf 250 20 Td (Gone) Tj ET") << 0;
        // Inside the page but outside the clip; after Q the clip is the
        // page again. Tokens that touch get spaces.
        QTest::newRow("clip, then restored")
            << QByteArray("q 0 0 50 50 re W n BT /F1 10 Tf 60 20 Td (a) Tj ET Q "
                          "BT /F1 10 Tf 60 20 Td (b) Tj ET")
            << QByteArray("q 0 0 50 50 re W n BT /F1 10 Tf 60 20 Td  3 Tr (a) Tj 0 Tr  ET Q "
                          "BT /F1 10 Tf 60 20 Td (b) Tj ET")
            << 1;
        QTest::newRow("scaled into the clip")
            << QByteArray("q 0 0 50 50 re W n 0.5 0 0 0.5 0 0 cm BT /F1 10 Tf 60 20 Td (a)Tj ET Q")
            << QByteArray("q 0 0 50 50 re W n 0.5 0 0 0.5 0 0 cm BT /F1 10 Tf 60 20 Td (a)Tj ET Q")
            << 0;
        // A cell's text running past the printed range: the pieces seen
        // (even in part, "d" from 146 to 151) stay, the rest is shown
        // invisible, in arrays of their own.
        QTest::newRow("array running past the clip")
            << QByteArray("q 0 0 150 100 re W n BT /F1 10 Tf 130 20 Td [(ab)-100<6364>(e)10(f)]TJ "
                          "ET Q")
            << QByteArray(
                   "q 0 0 150 100 re W n BT /F1 10 Tf 130 20 Td  [(ab) -100 <6364> ] TJ 3 Tr "
                   "[(e) 10 (f) ] TJ 0 Tr  ET Q")
            << 2;
        QTest::newRow("unknown font") << QByteArray("BT /F2 10 Tf 250 20 Td (x) Tj ET")
                                      << QByteArray("BT /F2 10 Tf 250 20 Td (x) Tj ET") << 0;
    }
    void marksTextOutsideItsClip()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, expected);
        QFETCH(int, count);
        int found = -1;
        QCOMPARE(marked(content, &found), expected);
        QCOMPARE(found, count);
    }

    // Through the queue and pdfwrite, text drawn wholly outside its clip
    // stays in the PDF as invisible text, and the page looks the same.
    void theQueueKeepsClippedTextInvisible()
    {
        const QByteArray content = "q 0 0 100 100 re W n BT /F1 24 Tf 160 40 Td (Hidden) Tj ET Q "
                                   "BT /F1 24 Tf 10 10 Td (Shown) Tj ET";
        // DejaVu Sans (installed with the program), embedded whole.
        QFile fontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        QVERIFY(fontFile.open(QIODevice::ReadOnly));
        const QByteArray font = fontFile.readAll();
        const QByteArray pdf = test::pdfOf({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 100] /Contents 4 0 R "
            "/Resources << /Font << /F1 5 0 R >> >> >>",
            "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
                "\nendstream",
            "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 "
            "/LastChar 126 /Widths [" +
                QByteArray("600 ").repeated(95) +
                "] /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>",
            "<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 "
            "/FontBBox [-1021 -463 1793 1232] /ItalicAngle 0 /Ascent 928 /Descent -236 "
            "/CapHeight 729 /StemV 80 /FontFile2 7 0 R >>",
            "<< /Length " + QByteArray::number(font.size()) + " >>\nstream\n" + font +
                "\nendstream",
        });
        const QString spool = m_dir.filePath("spool.pdf");
        test::writeFile(spool, pdf);
        const QString gs = QStringLiteral("/usr/bin/gs");
        RegistryPrinters printers(test::RegistryText()
                                      .ghostscript(gs)
                                      .printer("Quillmer")
                                      .writeTo(m_dir.filePath("registry.reg")));
        const QString ps = m_dir.filePath("PsFile.ps");
        const QString out = m_dir.filePath("PdfFile.pdf");
        printers.printToFile("Quillmer", spool, ps, std::chrono::seconds(60));
        QVERIFY(!QFileInfo::exists(spool + ".text.pdf"));
        QVERIFY(test::runProgram(gs,
                                 ghostscript::startFlags(ghostscript::Device::PdfWrite, true)
                                     << "-sOutputFile=" + out << ps,
                                 60000)
                    .succeeded);
        const QString text = test::pageTexts(out).value(0).remove(u' ');
        QVERIFY2(text.contains("Hidden") && text.contains("Shown"), qPrintable(text));
        // Nothing shows right of the clip (x > 100 of 300; 40 dpi).
        const QByteArray pixels = test::pagePixels(out, 1, m_dir.path());
        const int width = 300 * 40 / 72 + 1;
        QVERIFY(!pixels.isEmpty());
        for (qsizetype i = 0; i < pixels.size(); ++i)
            if (i % width > 100 * 40 / 72 + 1)
                QCOMPARE(quint8(pixels[i]), quint8(255));
    }
};

QTEST_GUILESS_MAIN(TestClippedText)
#include "tst_clippedtext.moc"
