#include "platform/failure.h"
#include "printqueue/ghostscriptcommand.h"
#include "printqueue/printers.h"
#include "printqueue/spooldocument.h"
#include "printqueue/transparency.h"
#include "support/files.h"
#include "support/pdftools.h"
#include "support/registrytext.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;
using namespace quillmer::printqueue;

namespace {

const QString Gs = QStringLiteral("/usr/bin/gs");

// A one-page PDF: a word, then a 2 x 1 picture over the page's top half
// whose left pixel is see-through; its colour under the soft mask is
// hidden (0 black, 255 white). Without a mask the picture is opaque. Under
// its see-through pixel the page is white, or black with blackUnder.
QByteArray pagePdf(int hidden, bool mask, bool blackUnder = false)
{
    const QByteArray pixels = QByteArray(3, char(hidden)) + QByteArray(3, char(0x80));
    const QByteArray alpha("\x00\xff", 2);
    const QByteArray content = QByteArray(blackUnder ? "0 g 0 50 100 50 re f " : "") +
                               "BT /F1 24 Tf 20 20 Td (Kept) Tj ET q 200 0 0 50 0 50 cm /Im Do Q";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R /Resources << "
        "/XObject << /Im 5 0 R >> /Font << /F1 6 0 R >> >> >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
            "\nendstream",
        "<< /Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceRGB "
        "/BitsPerComponent 8 " +
            QByteArray(mask ? "/SMask 7 0 R " : "") + "/Length 6 >>\nstream\n" + pixels +
            "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceGray "
        "/BitsPerComponent 8 /Length 2 >>\nstream\n" +
            alpha + "\nendstream"};
    return test::pdfOf(objects);
}

// The grey of the first page, rendered at 20 dpi, at a point given as
// fractions of the page from the top left.
int greyAt(const QString& pdf, double x, double y)
{
    const auto pages = transparency::readPgm(
        test::runProgram("pdftoppm", {"-gray", "-r", "20", "-f", "1", "-l", "1", pdf}).output);
    if (pages.isEmpty())
        return -1;
    const auto& page = pages.first();
    return static_cast<unsigned char>(
        page.pixels[int(y * page.height) * page.width + int(x * page.width)]);
}

} // namespace

class TestTransparency : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& pdf)
    {
        const QString path = m_dir.filePath(name);
        test::writeFile(path, pdf);
        return path;
    }

private slots:
    // A see-through part over a white page needs no picture when its hidden
    // colour is white too; hidden black needs one, over that part only. A
    // PDF without transparency needs no look.
    void picturesOnlyWhereTheLookChanges()
    {
        const QString white = write("white.pdf", pagePdf(255, true));
        const QString black = write("black.pdf", pagePdf(0, true));
        const QString opaque = write("opaque.pdf", pagePdf(0, false));
        QVERIFY(SpoolDocument(white).usesTransparency());
        QVERIFY(SpoolDocument(black).usesTransparency());
        QVERIFY(!SpoolDocument(opaque).usesTransparency());
        const auto minute = [] { return QDeadlineTimer(std::chrono::seconds(60)); };
        QVERIFY(transparency::overlays(Gs, white, white, white, minute()).isEmpty());
        const auto one = transparency::overlays(Gs, black, black, black, minute());
        QVERIFY(one.size() == 1);
        QCOMPARE(one.first().page, 1);
        QVERIFY(one.first().jpeg.startsWith("\xff\xd8"));
        // Over the see-through part of the picture in the page's top half,
        // not the word below it nor the picture's opaque part.
        const QList<QRectF>& regions = one.first().regions;
        const auto covered = [&](double x, double y) {
            return std::any_of(regions.begin(), regions.end(),
                               [&](const QRectF& r) { return r.contains(x, y); });
        };
        for (double x = 0.05; x < 0.45; x += 0.05)
            for (double y = 0.55; y < 0.95; y += 0.05)
                QVERIFY2(covered(x, y), qPrintable(QStringLiteral("%1 %2").arg(x).arg(y)));
        QVERIFY(!covered(0.9, 0.75));
        for (const QRectF& region : regions)
            QVERIFY(region.y() > 0.3);
        // It cannot tell: not a PDF, no Ghostscript, no time, no room.
        const QString junk = write("junk.pdf", "%PDF-1.4 nothing more");
        QVERIFY_THROWS_EXCEPTION(platform::Failure,
                                 transparency::overlays(Gs, junk, junk, junk, minute()));
        QVERIFY_THROWS_EXCEPTION(
            platform::Failure,
            transparency::overlays(m_dir.filePath("no/gs"), black, black, black, minute()));
        QVERIFY_THROWS_EXCEPTION(
            platform::Failure, transparency::overlays(Gs, black, black, black, QDeadlineTimer(0)));
        QVERIFY_THROWS_EXCEPTION(
            platform::Failure, transparency::overlays(Gs, black, black, black, minute(), 300, 100));
    }

    void readsPgmStreams()
    {
        const QByteArray two = "P5\n# made\n2 2\n255\n\x01\x02\x03\x04P5 2 2 255 \xff\xff\xff\xff";
        const QList<transparency::GreyPage> pages = transparency::readPgm(two);
        QCOMPARE(pages.size(), 2);
        QCOMPARE(pages[0].pixels, QByteArray("\x01\x02\x03\x04"));
        QCOMPARE(pages[1].width, 2);
        QVERIFY(transparency::readPgm("P5\n2 2\n255\n\x01").isEmpty()); // cut short
        QVERIFY(transparency::readPgm("P6\n1 1\n255\n\x01\x02\x03").isEmpty());
        QCOMPARE(transparency::changedRegions(pages[0], pages[0]), QList<QRectF>());
        QCOMPARE(transparency::changedRegions(pages[0], pages[1])->size(), 1);
        QVERIFY(!transparency::changedRegions(pages[0], transparency::GreyPage{}));
    }

    // Through the queue and pdfwrite: every page keeps its word and looks
    // as with transparency. The picture is laid over white ahead of the
    // print; a page picture covers its see-through part only where white
    // was not what lay under it.
    void theQueueKeepsTheTextAndTheLook()
    {
        const QString registry = test::RegistryText()
                                     .ghostscript(Gs)
                                     .printer("Quillmer")
                                     .writeTo(m_dir.filePath("registry.reg"));
        RegistryPrinters printers(registry);
        for (const bool blackUnder : {false, true}) {
            const QString spool = write("spool.pdf", pagePdf(0, true, blackUnder));
            const QString ps = m_dir.filePath("PsFile.ps");
            const QString pdf = m_dir.filePath("PdfFile.pdf");
            printers.printToFile("Quillmer", spool, ps, std::chrono::seconds(60));
            QVERIFY(test::runProgram(Gs,
                                     ghostscript::startFlags(ghostscript::Device::PdfWrite, true)
                                         << "-sOutputFile=" + pdf << ps,
                                     60000)
                        .succeeded);
            QVERIFY(test::pdfText(pdf).contains("Kept"));
            QCOMPARE(test::popplerOutput("pdfimages", {"-list", pdf}).count("jpeg") > 0,
                     blackUnder);
            // The see-through corner shows what lies under it.
            const int corner = greyAt(pdf, 0.25, 0.25);
            QVERIFY2(blackUnder ? corner <= 5 : corner >= 250, qPrintable(QString::number(corner)));
        }
    }
};

QTEST_GUILESS_MAIN(TestTransparency)
#include "tst_transparency.moc"
