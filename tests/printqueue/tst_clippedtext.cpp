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
    metrics.widths.fill(500);
    metrics.all = {0, 0, 500, 700};
    return QHash<QByteArray, clippedtext::FontMetrics>{{"F1", metrics}};
}();
const clippedtext::Box Page{0, 0, 200, 100};

} // namespace

class TestClippedText : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // How many runs of glyphs go invisible: none of text that shows, of text
    // off the page or in a font not measured; text outside its clip does,
    // and a string the clip's edge cuts is cut there. Content with none
    // stays byte for byte.
    void cutsTextAtItsClip_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("runs");
        QTest::newRow("on the page") << QByteArray("BT /F1 10 Tf 20 20 Td (Seen) Tj ET") << 0;
        QTest::newRow("off the page") << QByteArray("BT /F1 10 Tf 250 20 Td (Gone) Tj ET") << 0;
        QTest::newRow("clip, then restored")
            << QByteArray("q 0 0 50 50 re W n BT /F1 10 Tf 60 20 Td (a) Tj ET Q "
                          "BT /F1 10 Tf 60 20 Td (b) Tj ET")
            << 1;
        QTest::newRow("scaled into the clip")
            << QByteArray("q 0 0 50 50 re W n 0.5 0 0 0.5 0 0 cm BT /F1 10 Tf 60 20 Td (a)Tj ET Q")
            << 0;
        // 5 points a glyph from 130: "d" (146 to 151) shows in part.
        QTest::newRow("array past the clip")
            << QByteArray("q 0 0 150 100 re W n BT /F1 10 Tf 130 20 Td [(ab)-100<6364>(e)10(f)]TJ "
                          "ET Q")
            << 1;
        QTest::newRow("string under both edges")
            << QByteArray("q 100 0 30 100 re W n BT /F1 10 Tf 90 20 Td (abcdefghij) ' ET Q") << 2;
        QTest::newRow("stroked") << QByteArray(
                                        "q 0 0 50 50 re W n BT 1 Tr /F1 10 Tf 60 20 Td (a) Tj "
                                        "ET Q")
                                 << 0;
        QTest::newRow("unknown font")
            << QByteArray("q 0 0 50 50 re W n BT /F2 10 Tf 60 20 Td (x) Tj ET Q") << 0;
    }
    void cutsTextAtItsClip()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, runs);
        const clippedtext::Marked marked = clippedtext::markInvisible(content, Fonts, Page);
        QCOMPARE(marked.pieces, runs);
        if (!runs)
            QCOMPARE(marked.content, content);
    }

    // Through the queue and pdfwrite, every glyph of a word the clip cuts,
    // or hides, stays in the PDF in its place; nothing shows past the clip.
    // The spool's advances (600) differ from the font's own, so that
    // ps2write writes the glyphs apart and pdfwrite sees each alone.
    void theQueueKeepsEveryGlyph()
    {
        const QByteArray content = "q 100 0 100 100 re W n BT /F1 20 Tf 50 60 Td (ABBR Hidden) Tj "
                                   "/F1 10 Tf 90 -40 Td [(Left) -200 (Right part)] TJ ET Q";
        // DejaVu Sans (installed with the program), embedded whole, its
        // codes chosen by its own (1,0) cmap as in the office's spools.
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
                QByteArray("600 ").repeated(95) + "] /FontDescriptor 6 0 R >>",
            "<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 4 "
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
        QVERIFY2(text.contains("ABBRHidden") && text.contains("LeftRightpart"), qPrintable(text));
        // Something shows inside the clip (x from 100 to 200 of 300; 40
        // dpi), nothing outside it.
        const QByteArray pixels = test::pagePixels(out, 1, m_dir.path());
        const int width = 300 * 40 / 72 + 1;
        QVERIFY(!pixels.isEmpty());
        bool inked = false;
        for (qsizetype i = 0; i < pixels.size(); ++i) {
            const int x = int(i % width);
            if (x < 100 * 40 / 72 - 1 || x > 200 * 40 / 72 + 1)
                QCOMPARE(quint8(pixels[i]), quint8(255));
            else
                inked = inked || quint8(pixels[i]) < 128;
        }
        QVERIFY(inked);
    }
};

QTEST_GUILESS_MAIN(TestClippedText)
#include "tst_clippedtext.moc"
