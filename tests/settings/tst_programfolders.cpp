#include "settings/programfolders.h"
#include "support/files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <thread>
#include <vector>

using namespace quillmer;

using quillmer::test::modeOf;
using quillmer::test::readFile;
using quillmer::test::writeFile;

namespace {

// An installed program's folder with its defaults and marker, and a user's
// data folder that does not exist yet.
struct Install
{
    QTemporaryDir dir;
    QString system = dir.filePath(QStringLiteral("usr/lib/quillmer"));
    QString dataHome = dir.filePath(QStringLiteral("home/.local/share"));
    QString user = dataHome + QStringLiteral("/quillmer");

    Install()
    {
        writeFile(system + QStringLiteral("/SETTINGS.INI"), "[SETTINGS]\nOPENFILE=1\n");
        writeFile(system + QStringLiteral("/registry.reg"), "REGEDIT4\n");
        writeFile(system + QLatin1Char('/') + QLatin1String(PerUserMarker), "");
    }
    // What the data folder holds besides the user's folder: nothing, or a
    // half-made folder left behind.
    QStringList leftovers() const
    {
        return QDir(dataHome).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

class TestProgramFolders : public QObject
{
    Q_OBJECT

private slots:
    void builtFolderHoldsEverything()
    {
        Install install;
        QFile::remove(install.system + QLatin1Char('/') + QLatin1String(PerUserMarker));
        const ProgramFolders folders = findProgramFolders(install.system, install.dataHome);
        QCOMPARE(folders.program, install.system);
        QCOMPARE(folders.files, install.system);
        QVERIFY(!QFileInfo::exists(install.dataHome));
    }

    void firstStartLaysOutPrivateCopiesAndNeverRemakesThem()
    {
        Install install;
        const ProgramFolders folders = findProgramFolders(install.system, install.dataHome);
        QCOMPARE(folders.program, install.user);
        QCOMPARE(folders.files, install.system);
        QVERIFY2(folders.problem.isEmpty(), qPrintable(folders.problem));
        QCOMPARE(modeOf(install.dataHome), mode_t(0700));
        QCOMPARE(modeOf(install.user), mode_t(0700));
        for (const char* name : {"/SETTINGS.INI", "/registry.reg"}) {
            QCOMPARE(modeOf(install.user + QLatin1String(name)), mode_t(0600));
            QCOMPARE(readFile(install.user + QLatin1String(name)),
                     readFile(install.system + QLatin1String(name)));
        }
        QCOMPARE(install.leftovers(), QStringList{QStringLiteral("quillmer")});

        // A deleted settings file stays deleted: the start-up check says so.
        QVERIFY(QFile::remove(install.user + QStringLiteral("/SETTINGS.INI")));
        QVERIFY(findProgramFolders(install.system, install.dataHome).problem.isEmpty());
        QVERIFY(!QFileInfo::exists(install.user + QStringLiteral("/SETTINGS.INI")));
    }

    void startsAtOnceOrFailingLeaveNoHalfFolder()
    {
        for (int round = 0; round < 10; ++round) {
            Install install;
            std::vector<QString> problems(4);
            std::vector<std::thread> starts;
            for (QString& problem : problems)
                starts.emplace_back(
                    [&] { problem = layOutUserFolder(install.system, install.user); });
            for (std::thread& start : starts)
                start.join();
            for (const QString& problem : problems)
                QVERIFY2(problem.isEmpty(), qPrintable(problem));
            QCOMPARE(QDir(install.user).entryList(QDir::Files | QDir::Hidden).size(), 2);
            QCOMPARE(install.leftovers(), QStringList{QStringLiteral("quillmer")});
        }
        // Defaults that cannot be read: a reason, and no folder at all.
        Install broken;
        QFile::remove(broken.system + QStringLiteral("/registry.reg"));
        QVERIFY(
            layOutUserFolder(broken.system, broken.user).contains(QLatin1String("registry.reg")));
        QVERIFY(broken.leftovers().isEmpty());
    }
};

QTEST_MAIN(TestProgramFolders)
#include "tst_programfolders.moc"
