#include "errors/apperror.h"
#include "settings/probes.h"
#include "support/fakes.h"
#include "support/registrytext.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;
using quillmer::test::writeFile;

namespace {

// A registry with an InstallRoot key of one version and one value line.
QByteArray root(const char* version, const char* value)
{
    return test::RegistryText().excelRoot(version).line(value).text();
}

class ScriptedVersion : public VersionSource
{
public:
    std::optional<VersionRecord> record;
    bool throws = false;
    std::optional<VersionRecord> query() override
    {
        if (throws)
            throw AppError(err::Overflow);
        return record;
    }
};

} // namespace

class TestProbes : public QObject
{
    Q_OBJECT

private slots:
    void spreadsheetInstalled_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("installed");
        QTest::newRow("nothing") << test::RegistryText().text() << 0;
        QTest::newRow("2000") << root("9.0", "\"Path\"=\"/x/\"") << 1;
        QTest::newRow("2003 only") << root("11.0", "\"Path\"=\"/x/\"") << 1;
        QTest::newRow("2007") << root("12.0", "\"Path\"=\"/usr/lib/libreoffice/program/\"") << 1;
        QTest::newRow("newer only") << root("16.0", "\"Path\"=\"/x/\"") << 0;
        QTest::newRow("empty text counts") << root("10.0", "\"Path\"=\"\"") << 1;
        QTest::newRow("number reads as its text") << root("12.0", "\"Path\"=dword:00000001") << 1;
        QTest::newRow("other value name") << root("12.0", "\"Dir\"=\"/x/\"") << 0;
    }

    void spreadsheetInstalled()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, installed);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("registry.reg"));
        writeFile(path, body);
        QCOMPARE(int(CheckExcelInstalled(Registry(path))), installed);
    }

    void versionNames_data()
    {
        QTest::addColumn<uint>("platform");
        QTest::addColumn<uint>("major");
        QTest::addColumn<uint>("minor");
        QTest::addColumn<QString>("name");
        QTest::newRow("95") << 1u << 4u << 0u << "95";
        QTest::newRow("98") << 1u << 4u << 10u << "98";
        QTest::newRow("ME") << 1u << 4u << 90u << "ME";
        QTest::newRow("9x other") << 1u << 4u << 3u << "";
        QTest::newRow("NT 3.51") << 2u << 3u << 51u << "3.51";
        QTest::newRow("NT 4") << 2u << 4u << 0u << "4.0";
        QTest::newRow("2000") << 2u << 5u << 0u << "2000";
        QTest::newRow("XP") << 2u << 5u << 1u << "WinXP/.NET Server";
        QTest::newRow("NT 5.2") << 2u << 5u << 2u << "";
        QTest::newRow("NT 6.1") << 2u << 6u << 1u << "";
        QTest::newRow("NT 10") << 2u << 10u << 0u << "";
        QTest::newRow("failed query") << 0u << 0u << 0u << "Failed";
        QTest::newRow("CE") << 3u << 5u << 0u << "Failed";
    }

    void versionNames()
    {
        QFETCH(uint, platform);
        QFETCH(uint, major);
        QFETCH(uint, minor);
        QFETCH(QString, name);
        QCOMPARE(windowsVersionName({platform, major, minor}), name);

        ScriptedVersion source;
        source.record = VersionRecord{platform, major, minor};
        test::FakeMessageBox box;
        test::FakePointer pointer;
        ErrorHandler errors(box, pointer);
        QCOMPARE(GetWindowsVersionName(source, errors), name);
    }

    void linuxHasNoVersionName()
    {
        NoWindowsVersion source;
        test::FakeMessageBox box;
        test::FakePointer pointer;
        ErrorHandler errors(box, pointer);
        QCOMPARE(GetWindowsVersionName(source, errors), QString());
    }

    void aBrokenSourceGoesToTheHandler()
    {
        ScriptedVersion source;
        source.throws = true;
        test::FakeMessageBox box;
        test::FakePointer pointer;
        pointer.setBusy();
        ErrorHandler errors(box, pointer);
        QCOMPARE(GetWindowsVersionName(source, errors), QString());
        QCOMPARE(box.texts(), QStringList{ErrorHandler::overflowMessage()});
        QVERIFY(!pointer.busy);
    }
};

QTEST_GUILESS_MAIN(TestProbes)
#include "tst_probes.moc"
