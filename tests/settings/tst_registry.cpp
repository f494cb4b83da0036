#include "settings/registry.h"

#include "platform/registrynames.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;
using platform::hkey::LocalMachine;

namespace {

const QByteArray store = "REGEDIT4\n\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\n"
                         "\"Folder\"=\"/usr/lib/libreoffice/program/\"\n"
                         "\"Empty\"=\"\"\n"
                         "\"Expand\"=hex(2):25,51,55,49,4c,4c,4d,45,52,5f,52,45,47,25,2f,62,69,6e,00\n"
                         "\"Number\"=dword:ffffffff\n"
                         "\"Short\"=hex(4):01,02\n"
                         "\"Bytes\"=hex:01,02\n"
                         "\"List\"=hex(7):61,00,62,00,00\n";

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;

    QVariant read(const QString& key, const QString& name)
    {
        return Registry(m_file).ReadRegistryValue(LocalMachine, key, name);
    }

private slots:
    void initTestCase()
    {
        m_file = m_dir.filePath(QStringLiteral("registry.reg"));
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(store);
    }

    void textKeepsItsNul()
    {
        const QVariant v = read(QStringLiteral("SOFTWARE\\Test"), QStringLiteral("Folder"));
        QCOMPARE(v.typeId(), int(QMetaType::QString));
        QCOMPARE(v.toString(), QStringLiteral("/usr/lib/libreoffice/program/") + QChar(0));
        QCOMPARE(withoutNuls(v), QStringLiteral("/usr/lib/libreoffice/program/"));

        const QVariant empty = read(QStringLiteral("software\\test"), QStringLiteral("EMPTY"));
        QCOMPARE(empty.toString(), QString(QChar(0)));
        QVERIFY(!empty.toString().isEmpty());
    }

    void expandableTextIsExpanded()
    {
        qputenv("QUILLMER_REG", "/opt/tools");
        QCOMPARE(read(QStringLiteral("SOFTWARE\\Test"), QStringLiteral("Expand")).toString(),
                 QStringLiteral("/opt/tools/bin") + QChar(0));
        qunsetenv("QUILLMER_REG");
        QCOMPARE(read(QStringLiteral("SOFTWARE\\Test"), QStringLiteral("Expand")).toString(),
                 QStringLiteral("%QUILLMER_REG%/bin") + QChar(0));
    }

    void numberIsANumber()
    {
        const QVariant v = read(QStringLiteral("SOFTWARE\\Test"), QStringLiteral("Number"));
        QCOMPARE(v.typeId(), int(QMetaType::Int));
        QCOMPARE(v.toInt(), -1);
    }

    void everythingElseIsEmpty()
    {
        for (const char* name : {"Bytes", "List", "Short", "Missing"})
            QVERIFY2(!read(QStringLiteral("SOFTWARE\\Test"), QString::fromLatin1(name)).isValid(), name);
        QVERIFY(!read(QStringLiteral("SOFTWARE\\Missing"), QStringLiteral("Folder")).isValid());
        QVERIFY(!Registry(m_dir.filePath(QStringLiteral("absent.reg")))
                     .ReadRegistryValue(LocalMachine, QStringLiteral("SOFTWARE\\Test"), QStringLiteral("Folder"))
                     .isValid());
    }

    void queryReportsStatusAndLeavesTheValue()
    {
        const auto reg = platform::RegistryFile::load(m_file);
        const auto* key = reg.key(LocalMachine, QStringLiteral("SOFTWARE\\Test"));
        QVariant value = QStringLiteral("untouched");
        QCOMPARE(Registry::QueryRegistryValue(key, QStringLiteral("Bytes"), value), -1);
        QCOMPARE(value.toString(), QStringLiteral("untouched"));
        QCOMPARE(Registry::QueryRegistryValue(key, QStringLiteral("Missing"), value), regstatus::FileNotFound);
        QCOMPARE(value.toString(), QStringLiteral("untouched"));
        QCOMPARE(Registry::QueryRegistryValue(nullptr, QStringLiteral("Folder"), value), regstatus::InvalidHandle);
        QCOMPARE(value.toString(), QStringLiteral("untouched"));
        QCOMPARE(Registry::QueryRegistryValue(key, QStringLiteral("Folder"), value), 0);
        QCOMPARE(withoutNuls(value), QStringLiteral("/usr/lib/libreoffice/program/"));
    }

    // The conversion and the printer queue read GSPath alike: expanded, NULs
    // removed, and a number is no path.
    void ghostscriptPathIsReadOneWay()
    {
        const QByteArray gsKey = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\GS]\n\"GSPath\"=";
        const QList<QPair<QByteArray, QString>> cases = {
            {"\"/usr/bin/gs\"", QStringLiteral("/usr/bin/gs")},
            {"hex(2):25,51,55,49,4c,4c,4d,45,52,5f,52,45,47,25,2f,62,69,6e,00",
             QStringLiteral("/opt/tools/bin")},
            {"dword:00000001", QString()},
        };
        qputenv("QUILLMER_REG", "/opt/tools");
        const QString path = m_dir.filePath(QStringLiteral("gs.reg"));
        for (const auto& [value, expected] : cases) {
            test::writeFile(path, gsKey + value + '\n');
            QCOMPARE(Registry(path).ghostscriptPath(), expected);
            QCOMPARE(platform::ghostscriptPath(platform::RegistryFile::load(path)), expected);
        }
        qunsetenv("QUILLMER_REG");
        QCOMPARE(Registry(m_dir.filePath(QStringLiteral("absent.reg"))).ghostscriptPath(),
                 QString());
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
