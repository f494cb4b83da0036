#include "app/startup.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/registrytext.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;

using quillmer::test::writeFile;

namespace {

const QByteArray excelRegistry =
    test::RegistryText().excel("12.0", "/usr/lib/libreoffice/program/").text();

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void bothMissingShowsOnlyTheSettingsMessage()
    {
        QTemporaryDir dir;
        test::FakeMessageBox box;
        test::FakePointer pointer;
        ErrorHandler errors(box, pointer);
        SettingsFile settings(dir.path(), box, errors);
        Registry registry(dir.path() + QStringLiteral("/registry.reg"));
        QVERIFY(!app::PassStartupChecks(settings, registry, box));
        QCOMPARE(box.texts(), QStringList{QStringLiteral("Initialization file is missing.")});
        QCOMPARE(box.shown[0].icon, MessageIcon::Critical);
    }

    void missingSpreadsheetApplicationEnds()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("SETTINGS.INI")), "[SETTINGS]\nOPENFILE=1\n");
        // A newer version than any the program knows does not count.
        test::RegistryText()
            .excel("16.0", "/opt/office/")
            .writeTo(dir.filePath(QStringLiteral("registry.reg")));
        test::FakeMessageBox box;
        test::FakePointer pointer;
        ErrorHandler errors(box, pointer);
        SettingsFile settings(dir.path(), box, errors);
        Registry registry(dir.filePath(QStringLiteral("registry.reg")));
        QVERIFY(!app::PassStartupChecks(settings, registry, box));
        QCOMPARE(box.texts(), QStringList{app::excelMissingMessage()});
        QCOMPARE(box.shown[0].icon, MessageIcon::Critical);
        QCOMPARE(app::excelMissingMessage(),
                 QStringLiteral("Microsoft Excel is not installed or corrupted. Please install "
                                "Microsoft Excel 2000 or higher version."));
    }

    void bothPresentPasses()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("SETTINGS.INI")), "[SETTINGS]\nOPENFILE=1\n");
        writeFile(dir.filePath(QStringLiteral("registry.reg")), excelRegistry);
        test::FakeMessageBox box;
        test::FakePointer pointer;
        ErrorHandler errors(box, pointer);
        SettingsFile settings(dir.path(), box, errors);
        Registry registry(dir.filePath(QStringLiteral("registry.reg")));
        QVERIFY(app::PassStartupChecks(settings, registry, box));
        QVERIFY(box.shown.isEmpty());
    }

    // The program folder the build lays out passes the checks on this machine.
    void builtProgramFolderPasses()
    {
        const QString folder = QStringLiteral(QUILLMER_PROGRAM_DIR);
        test::FakeMessageBox box;
        test::FakePointer pointer;
        ErrorHandler errors(box, pointer);
        SettingsFile settings(folder, box, errors);
        Registry registry(folder + QStringLiteral("/registry.reg"));
        QVERIFY2(app::PassStartupChecks(settings, registry, box),
                 qPrintable(box.texts().join('\n')));
        QVERIFY(!withoutNuls(registry.ReadRegistryValue(platform::hkey::LocalMachine,
                                                        QStringLiteral("SOFTWARE\\GS"),
                                                        QStringLiteral("GSPath")))
                     .isEmpty());
        QCOMPARE(registry.subkeyNames(
                     platform::hkey::LocalMachine,
                     QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers")),
                 QStringList{QStringLiteral("Quillmer")});
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
