#include "settings/settingsfile.h"
#include "settings/startupsettings.h"
#include "support/fakes.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace quillmer;

using quillmer::test::readFile;
using quillmer::test::writeFile;

namespace {

// A program folder with its settings file and the services around it.
struct Folder
{
    QTemporaryDir dir;
    test::FakeMessageBox box;
    test::FakePointer pointer;
    ErrorHandler errors{box, pointer};
    SettingsFile settings{dir.path(), box, errors};

    QString ini() const { return dir.filePath(QStringLiteral("SETTINGS.INI")); }
    void withIni(const QByteArray& contents)
    {
        writeFile(ini(), contents);
        QVERIFY(settings.CheckSettingsFile());
    }
};

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void presentFileIsFound()
    {
        Folder f;
        f.withIni("[SETTINGS]\nOPENFILE=1\n");
        QCOMPARE(f.settings.SettingsFilePath(), f.dir.path() + QStringLiteral("/SETTINGS.INI"));
        QVERIFY(f.box.shown.isEmpty());
    }

    void whatIsNotAFileIsMissing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("absent") << "absent";
        QTest::newRow("folder") << "folder";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("dangling link") << "link";
    }

    void whatIsNotAFileIsMissing()
    {
        QFETCH(QString, kind);
        Folder f;
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("SETTINGS.INI")));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(f.ini()).constData(), 0600), 0);
        else if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(f.dir.filePath(QStringLiteral("gone.ini")), f.ini()));
        QVERIFY(!f.settings.CheckSettingsFile());
        QCOMPARE(f.box.texts(), QStringList{QStringLiteral("Initialization file is missing.")});
        QCOMPARE(f.box.shown[0].icon, MessageIcon::Critical);
    }

    void readsKeysWithTheirRules()
    {
        Folder f;
        f.withIni("[SETTINGS]\nPATH=\nOPENFILE=0\nLONG=" + QByteArray(300, 'L') + "\nSPACES=   \n");
        QVERIFY(!f.settings.ReadIniValue(QStringLiteral("SETTINGS"), QStringLiteral("PATH")));
        QCOMPARE(f.settings.LastIniValue(), QString());
        QVERIFY(f.settings.ReadIniValue(QStringLiteral("SETTINGS"), QStringLiteral("OPENFILE")));
        QCOMPARE(f.settings.LastIniValue(), QStringLiteral("0"));
        QVERIFY(f.settings.ReadIniValue(QStringLiteral("SETTINGS"), QStringLiteral("LONG")));
        QCOMPARE(f.settings.LastIniValue(), QString(254, QLatin1Char('L')));
        QVERIFY(!f.settings.ReadIniValue(QStringLiteral("SETTINGS"), QStringLiteral("SPACES")));
        // A failed read clears the last value.
        QVERIFY(!f.settings.ReadIniValue(QStringLiteral("OTHER"), QStringLiteral("OPENFILE")));
        QCOMPARE(f.settings.LastIniValue(), QString());
    }

    void writtenValueIsOnDisk()
    {
        Folder f;
        f.withIni("; installed\r\n[SETTINGS]\r\nOPENFILE=1\r\n");
        QVERIFY(f.settings.WriteIniValue(QStringLiteral("SETTINGS"), QStringLiteral("PATH"),
                                         QStringLiteral("/home/u/Book 1.xls")));
        QCOMPARE(
            readFile(f.ini()),
            QByteArray("; installed\r\n[SETTINGS]\r\nOPENFILE=1\r\nPATH=/home/u/Book 1.xls\r\n"));
        QVERIFY(f.settings.ReadIniValue(QStringLiteral("SETTINGS"), QStringLiteral("path")));
        QCOMPARE(f.settings.LastIniValue(), QStringLiteral("/home/u/Book 1.xls"));
    }

    void startupSettingsFallBack()
    {
        Folder f;
        f.withIni("");
        const StartupSettings s = LoadStartupSettings(f.settings, f.dir.path());
        QCOMPARE(s.RecentFolder, f.dir.path());
        QCOMPARE(s.RecentOutputFolder, f.dir.path());
        QCOMPARE(s.Launch, qint16(1));
        QCOMPARE(s.ConvertPageFrom, qint16(0));
        QCOMPARE(s.PageRange, QStringLiteral("1"));
    }

    void startupSettingsKeepExistingPaths()
    {
        Folder f;
        const QString book = f.dir.filePath(QStringLiteral("book.xls"));
        writeFile(book, "x");
        const QString deletedPdf = f.dir.filePath(QStringLiteral("gone.pdf"));
        f.withIni("[SETTINGS]\nPATH=" + book.toUtf8() + "\nOUTPUTPATH=" + deletedPdf.toUtf8() +
                  "\nOPENFILE=0\n");
        StartupSettings s = LoadStartupSettings(f.settings, f.dir.path());
        QCOMPARE(s.RecentFolder, book);
        QCOMPARE(s.RecentOutputFolder, f.dir.path());
        QCOMPARE(s.Launch, qint16(0));

        // A folder counts as well as a file.
        f.withIni("[SETTINGS]\nOUTPUTPATH=" + f.dir.path().toUtf8() + "\n");
        s = LoadStartupSettings(f.settings, f.dir.path());
        QCOMPARE(s.RecentOutputFolder, f.dir.path());
    }

    // OPENFILE is converted to a 16-bit whole number, rounding halves to
    // even; what does not convert, or overflows, counts as absent.
    void openFileConvertsToA16BitWholeNumber_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("launch");
        QTest::newRow("empty") << QByteArray("") << 1;
        QTest::newRow("zero") << QByteArray("0") << 0;
        QTest::newRow("two") << QByteArray("2") << 2;
        QTest::newRow("negative") << QByteArray("-32768") << -32768;
        QTest::newRow("largest") << QByteArray("32767") << 32767;
        QTest::newRow("too large") << QByteArray("32768") << 1;
        QTest::newRow("rounds over the top") << QByteArray("32767.5") << 1;
        QTest::newRow("word") << QByteArray("yes") << 1;
        QTest::newRow("nan") << QByteArray("nan") << 1;
        QTest::newRow("0.0") << QByteArray("0.0") << 0;
        QTest::newRow("0.4") << QByteArray("0.4") << 0;
        QTest::newRow("0.5 to even") << QByteArray("0.5") << 0;
        QTest::newRow("1.5 to even") << QByteArray("1.5") << 2;
        QTest::newRow("2.5 to even") << QByteArray("2.5") << 2;
        QTest::newRow("-0.5 to even") << QByteArray("-0.5") << 0;
    }

    void openFileConvertsToA16BitWholeNumber()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, launch);
        Folder f;
        f.withIni("[SETTINGS]\nOPENFILE=" + value + "\n");
        QCOMPARE(int(LoadStartupSettings(f.settings, f.dir.path()).Launch), launch);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
