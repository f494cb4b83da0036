#include "platform/failure.h"
#include "printqueue/charactermaps.h"
#include "printqueue/spooldocument.h"
#include "support/files.h"
#include "support/pdftools.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;
using namespace quillmer::printqueue;
using charactermaps::MultiUnitEntries;

namespace {

QByteArray toUnicode(const QByteArray& entries)
{
    return "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
           "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
           "/CMapName /Adobe-Identity-UCS def /CMapType 2 def\n"
           "1 begincodespacerange <00> <FF> endcodespacerange\n" +
           entries + "\nendcmap CMapName currentdict /CMap defineresource pop end end";
}

// A page with "AB" in each of the fonts, named and mapped as given.
QByteArray textPdf(const QList<std::pair<QByteArray, QByteArray>>& fonts)
{
    QByteArray content, resources;
    QList<QByteArray> objects = {"<< /Type /Catalog /Pages 2 0 R >>",
                                 "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", "", ""};
    for (const auto& [name, entries] : fonts) {
        const QByteArray n = QByteArray::number(objects.size() + 1);
        const QByteArray map = toUnicode(entries);
        resources += "/F" + n + ' ' + n + " 0 R ";
        content += "BT /F" + n + " 24 Tf 20 20 Td (AB) Tj ET ";
        objects << "<< /Type /Font /Subtype /TrueType /BaseFont /" + name + " /FontDescriptor " +
                       QByteArray::number(objects.size() + 2) + " 0 R /ToUnicode " +
                       QByteArray::number(objects.size() + 3) + " 0 R >>"
                << "<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 >>"
                << "<< /Length " + QByteArray::number(map.size()) + " >>\nstream\n" + map +
                       "\nendstream";
    }
    objects[2] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R "
                 "/Resources << /Font << " +
                 resources + ">> >> >>";
    objects[3] = "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
                 "\nendstream";
    return test::pdfOf(objects);
}

const QByteArray Ffi = QByteArray::fromHex("006600660069");

} // namespace

class TestCharacterMaps : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    charactermaps::MultiUnitValues read(const QByteArray& pdf)
    {
        test::writeFile(m_dir.filePath("spool.pdf"), pdf);
        return SpoolDocument(m_dir.filePath("spool.pdf")).multiUnitValues();
    }

private slots:
    void multiUnitEntries_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<MultiUnitEntries>("expected");
        QTest::newRow("single units")
            << QByteArray("2 beginbfchar <41> <0041> <42> <00E9> endbfchar") << MultiUnitEntries{};
        QTest::newRow("ligature") << QByteArray("1 beginbfchar <41> <006600660069> endbfchar")
                                  << MultiUnitEntries{{0x41, Ffi}};
        QTest::newRow("range counted up")
            << QByteArray("1 beginbfrange <41> <42> <D835DC00> endbfrange")
            << MultiUnitEntries{{0x41, QByteArray::fromHex("D835DC00")},
                                {0x42, QByteArray::fromHex("D835DC01")}};
        QTest::newRow("range of values")
            << QByteArray("1 beginbfrange <41> <42> [<0061> <0065 0301>] endbfrange")
            << MultiUnitEntries{{0x42, QByteArray::fromHex("00650301")}};
    }
    void multiUnitEntries()
    {
        QFETCH(QByteArray, entries);
        QFETCH(MultiUnitEntries, expected);
        // The CMap's own header (a dictionary, the code space) never counts.
        QCOMPARE(charactermaps::multiUnitEntries(toUnicode(entries)), expected);
    }

    // By font name without its subset tag. Two subsets of one font that give
    // a code different values cannot be told apart; a file that is no PDF
    // is not read.
    void multiUnitValuesByFont()
    {
        const QByteArray ligature = "1 beginbfchar <41> <006600660069> endbfchar";
        auto values = read(textPdf({{"BAAAAA+Sans", "1 beginbfchar <41> <0066> endbfchar"},
                                    {"CAAAAA+Sans-Italic", ligature}}));
        QCOMPARE(values.fonts.keys(), QList<QByteArray>{"Sans-Italic"});
        QCOMPARE(values.fonts["Sans-Italic"], (MultiUnitEntries{{0x41, Ffi}}));
        QVERIFY(!values.ambiguous);
        QCOMPARE(charactermaps::postScript(values),
                 "userdict /QuillmerUnicode <<\n(Sans-Italic) << 65 <006600660069> >>\n>> put\n");
        values = read(textPdf({{"BAAAAA+Sans", ligature},
                               {"CAAAAA+Sans", "1 beginbfchar <41> <00660066> endbfchar"}}));
        QVERIFY(values.ambiguous);
        QVERIFY_THROWS_EXCEPTION(platform::Failure, read("%PDF-1.4 nothing more"));
        QVERIFY(charactermaps::postScript({}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCharacterMaps)
#include "tst_charactermaps.moc"
