#include "platform/registryfile.h"

#include <QRandomGenerator>
#include <QTest>

using namespace quillmer::platform;

namespace {

QByteArray utf16WithBom(const QString& text)
{
    QByteArray out("\xFF\xFE");
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

QByteArray sz(const char* text)
{
    return QByteArray(text) + '\0';
}

const char* const sample =
    "REGEDIT4\n"
    "\n"
    "; installed by set-up\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\GS]\n"
    "\"GSPath\"=\"/usr/bin/gs\"\n"
    "@=\"default value\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quoted]\n"
    "\"Esc\"=\"a \\\"quoted\\\" C:\\\\dir\\\\\"\n"
    "\"Empty\"=\"\"\n"
    "\"Count\"=dword:0000000a\n"
    "\"Bytes\"=hex:01,02,ff\n"
    "\"Expand\"=hex(2):25,48,4f,4d,45,25,2f,78,00\n"
    "\"List\"=hex(7):61,00,62,00,00\n"
    "\"Long\"=hex:00,01,02,\\\n"
    "  03,04\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Quillmer]\n"
    "\"Port\"=\"FILE:\"\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Other PS]\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Quillmer\\PrinterDriverData]\n";

} // namespace

class TestRegistryFile : public QObject
{
    Q_OBJECT

private slots:
    void readsRegedit4()
    {
        const RegistryFile reg = RegistryFile::parse(sample);
        const RegistryKey* gs = reg.key(hkey::LocalMachine, QStringLiteral("software\\gs"));
        QVERIFY(gs);
        QCOMPARE(gs->value(QStringLiteral("gspath"))->type, regtype::Sz);
        QCOMPARE(gs->value(QStringLiteral("GSPath"))->data, sz("/usr/bin/gs"));
        QCOMPARE(gs->value(QString())->data, sz("default value"));

        const RegistryKey* q = reg.key(hkey::LocalMachine, QStringLiteral("SOFTWARE\\Quoted"));
        QVERIFY(q);
        QCOMPARE(q->value(QStringLiteral("Esc"))->data, sz("a \"quoted\" C:\\dir\\"));
        QCOMPARE(q->value(QStringLiteral("Empty"))->data, sz(""));
        QCOMPARE(q->value(QStringLiteral("Count"))->type, regtype::Dword);
        QCOMPARE(q->value(QStringLiteral("Count"))->data, QByteArray("\x0a\0\0\0", 4));
        QCOMPARE(q->value(QStringLiteral("Bytes"))->type, regtype::Binary);
        QCOMPARE(q->value(QStringLiteral("Bytes"))->data, QByteArray("\x01\x02\xff"));
        QCOMPARE(q->value(QStringLiteral("Expand"))->type, regtype::ExpandSz);
        QCOMPARE(q->value(QStringLiteral("Expand"))->data, sz("%HOME%/x"));
        QCOMPARE(q->value(QStringLiteral("List"))->type, regtype::MultiSz);
        QCOMPARE(q->value(QStringLiteral("Long"))->data, QByteArray("\0\1\2\3\4", 5));
        QVERIFY(!q->value(QStringLiteral("Missing")));
    }

    void readsVersion5InUtf16()
    {
        const QString text = QStringLiteral(
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
            "\"Name\"=\"Zürich 東京\"\r\n"
            "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,00,e9,00,00,00\r\n");
        const RegistryFile reg = RegistryFile::parse(utf16WithBom(text));
        const RegistryKey* key = reg.key(hkey::LocalMachine, QStringLiteral("SOFTWARE\\Test"));
        QVERIFY(key);
        QCOMPARE(key->value(QStringLiteral("Name"))->data, (QStringLiteral("Zürich 東京") + QChar(0)).toUtf8());
        QCOMPARE(key->value(QStringLiteral("Expand"))->data, (QStringLiteral("%HOME%/é") + QChar(0)).toUtf8());

        // The same header in UTF-8 reads too.
        const RegistryFile utf8 = RegistryFile::parse(text.toUtf8());
        QVERIFY(utf8.key(hkey::LocalMachine, QStringLiteral("SOFTWARE\\Test")));
    }

    void listsSubkeysInFileOrder()
    {
        const RegistryFile reg = RegistryFile::parse(sample);
        const QString printers = QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers");
        QCOMPARE(reg.subkeyNames(hkey::LocalMachine, printers),
                 (QStringList{QStringLiteral("Quillmer"), QStringLiteral("Other PS")}));
        // A key that only exists as a parent opens, with no values.
        const RegistryKey* parent = reg.key(hkey::LocalMachine, printers);
        QVERIFY(parent);
        QCOMPARE(parent->valueCount(), 0);
        QVERIFY(!reg.key(hkey::CurrentUser, printers));
        QVERIFY(!reg.key(hkey::LocalMachine, QStringLiteral("SOFTWARE\\Nope")));
    }

    void refusesWhatItCannotRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no header") << QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE\\GS]\n\"GSPath\"=\"/x\"\n");
        QTest::newRow("wrong header") << QByteArray("REGEDIT5\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\GS]\n\"GSPath\"=\"/x\"\n");
        QTest::newRow("binary junk") << QByteArray("\x00\x01\x02\xff\xfe\x00", 6);
    }

    void refusesWhatItCannotRead()
    {
        QFETCH(QByteArray, bytes);
        const RegistryFile reg = RegistryFile::parse(bytes);
        QVERIFY(reg.isEmpty());
        QVERIFY(!reg.key(hkey::LocalMachine, QStringLiteral("SOFTWARE\\GS")));
    }

    void skipsMalformedLinesButKeepsTheRest()
    {
        const RegistryFile reg = RegistryFile::parse(
            "REGEDIT4\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n"
            "\"Open=\"no closing quote\n"
            "\"BadDword\"=dword:xyz\n"
            "\"TooLong\"=dword:123456789\n"
            "\"BadHex\"=hex:1,zz\n"
            "\"BadType\"=hex(q):00\n"
            "\"Word\"=plain\n"
            "\"Trailing\"=\"x\" junk\n"
            "\"Deleted\"=-\n"
            "\"Good\"=\"yes\"\n"
            "[NOT_A_ROOT\\X]\n"
            "\"Stray\"=\"lost\"\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Unclosed\n"
            "\"Stray2\"=\"lost\"\n");
        const RegistryKey* a = reg.key(hkey::LocalMachine, QStringLiteral("SOFTWARE\\A"));
        QVERIFY(a);
        QCOMPARE(a->valueCount(), 1);
        QCOMPARE(a->value(QStringLiteral("Good"))->data, sz("yes"));
    }

    // Random and mutated input never crashes and never reads garbage as a value.
    void survivesRandomInput()
    {
        QRandomGenerator rng(20261207);
        const QByteArray base(sample);
        const QByteArray alphabet("[]\"\\=@:,;-%\r\n hex(2)dword0123456789abcdefHKEY_LOCAL_MACHINE");
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            if (round % 3 == 0) {
                const int n = rng.bounded(400);
                for (int i = 0; i < n; ++i)
                    bytes.append(char(rng.bounded(256)));
            } else {
                bytes = base;
                const int edits = 1 + rng.bounded(12);
                for (int e = 0; e < edits; ++e) {
                    const int pos = rng.bounded(int(bytes.size()) + 1);
                    switch (rng.bounded(3)) {
                    case 0: bytes.insert(pos, alphabet[rng.bounded(int(alphabet.size()))]); break;
                    case 1: bytes.remove(pos, 1 + rng.bounded(8)); break;
                    default:
                        if (pos < bytes.size())
                            bytes[pos] = char(rng.bounded(256));
                    }
                }
                if (round % 7 == 0)
                    bytes = utf16WithBom(QString::fromLatin1(bytes));
            }
            const RegistryFile reg = RegistryFile::parse(bytes);
            if (const RegistryKey* k = reg.key(hkey::LocalMachine, QStringLiteral("SOFTWARE\\GS"))) {
                if (auto v = k->value(QStringLiteral("GSPath"))) {
                    QVERIFY(v->type <= 0xFFFF);
                }
            }
            reg.subkeyNames(hkey::LocalMachine, QStringLiteral("SYSTEM"));
        }
    }

    void expandsEnvironmentReferences()
    {
        qputenv("QUILLMER_TEST_DIR", "/opt/q");
        qunsetenv("QUILLMER_NOT_SET");
        QCOMPARE(expandEnvironmentStrings(QStringLiteral("%QUILLMER_TEST_DIR%/bin")), QStringLiteral("/opt/q/bin"));
        QCOMPARE(expandEnvironmentStrings(QStringLiteral("%QUILLMER_NOT_SET%/x")), QStringLiteral("%QUILLMER_NOT_SET%/x"));
        QCOMPARE(expandEnvironmentStrings(QStringLiteral("100% sure")), QStringLiteral("100% sure"));
        QCOMPARE(expandEnvironmentStrings(QStringLiteral("%%")), QStringLiteral("%%"));
        QCOMPARE(expandEnvironmentStrings(QStringLiteral("a%QUILLMER_TEST_DIR%%QUILLMER_TEST_DIR%")),
                 QStringLiteral("a/opt/q/opt/q"));
    }
};

QTEST_GUILESS_MAIN(TestRegistryFile)
#include "tst_registryfile.moc"
