#include "platform/charactermaps.h"
#include "support/files.h"
#include "support/pdftools.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;
using namespace quillmer::platform;

namespace {

QByteArray toUnicode(const QByteArray& entries)
{
    return "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
           "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
           "/CMapName /Adobe-Identity-UCS def /CMapType 2 def\n"
           "1 begincodespacerange <00> <FF> endcodespacerange\n" +
           entries + "\nendcmap CMapName currentdict /CMap defineresource pop end end";
}

// A page with "AB" in a font whose map says what A and B stand for.
QByteArray textPdf(const QByteArray& entries)
{
    const QByteArray content = "BT /F1 24 Tf 20 20 Td (AB) Tj ET";
    const QByteArray map = toUnicode(entries);
    return test::pdfOf({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
            "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /ToUnicode 6 0 R >>",
        "<< /Length " + QByteArray::number(map.size()) + " >>\nstream\n" + map + "\nendstream",
    });
}

} // namespace

class TestCharacterMaps : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void multiUnitEntries_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<bool>("multiUnit");
        QTest::newRow("single units")
            << QByteArray("2 beginbfchar <41> <0041> <42> <00E9> endbfchar") << false;
        QTest::newRow("ligature") << QByteArray("1 beginbfchar <41> <006600660069> endbfchar")
                                  << true;
        QTest::newRow("range of single units")
            << QByteArray("1 beginbfrange <0041> <0042> <0061> endbfrange") << false;
        QTest::newRow("range with a letter and its mark")
            << QByteArray("1 beginbfrange <41> <42> [<0061> <0065 0301>] endbfrange") << true;
        QTest::newRow("surrogate pair")
            << QByteArray("1 beginbfchar <41> <D835DC00> endbfchar") << true;
    }
    void multiUnitEntries()
    {
        QFETCH(QByteArray, entries);
        QFETCH(bool, multiUnit);
        // The CMap's own header (a dictionary, the code space) never counts.
        QCOMPARE(charactermaps::multiUnitEntries(toUnicode(entries)), multiUnit);
    }

    // Read from a file; files that are no PDF count as single units. (The
    // print step's Vietnamese workbook takes the whole road.)
    void multiUnitFiles()
    {
        const auto check = [&](const QByteArray& pdf) {
            test::writeFile(m_dir.filePath("spool.pdf"), pdf);
            return charactermaps::multiUnit(m_dir.filePath("spool.pdf"));
        };
        QVERIFY(check(textPdf("2 beginbfchar <41> <006600660069> <42> <0078> endbfchar")));
        QVERIFY(!check(textPdf("2 beginbfchar <41> <0066> <42> <0078> endbfchar")));
        QVERIFY(!check("%PDF-1.4 nothing more"));
        QVERIFY(!charactermaps::multiUnit(m_dir.filePath("absent.pdf")));
    }
};

QTEST_GUILESS_MAIN(TestCharacterMaps)
#include "tst_charactermaps.moc"
