#include "office/officeprofile.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using quillmer::office::OfficeProfileTemplate;

using quillmer::test::readFile;
using quillmer::test::writeFile;

namespace {

// A profile as a running office leaves it: settings, a lock, scratch files.
// An office that has marked it as its own writes ooSetupLastVersion.
QString profile(const QTemporaryDir& dir, const char* name, const QByteArray& settings,
                bool marked = true)
{
    const QString folder = dir.filePath(QLatin1String(name));
    writeFile(folder + "/user/registrymodifications.xcu",
              settings + (marked ? "<prop oor:name=\"ooSetupLastVersion\">" : ""));
    writeFile(folder + "/user/.lock", "locked");
    writeFile(folder + "/user/temp/scratch", "x");
    writeFile(folder + "/user/config/soffice.cfg/x.xml", "<x/>");
    return folder;
}

} // namespace

class TestOfficeProfile : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheFirstCleanProfileAndSeedsFromIt()
    {
        QTemporaryDir dir;
        const OfficeProfileTemplate prepared(dir.filePath("cache/quillmer/office-profile"));
        QVERIFY(!prepared.seed(dir.filePath("instance0")));
        QVERIFY(!QFileInfo::exists(dir.filePath("instance0")));

        prepared.keep(profile(dir, "first", "first"));
        QVERIFY(
            readFile(prepared.folder() + "/user/registrymodifications.xcu").startsWith("first"));
        QVERIFY(!QFileInfo::exists(prepared.folder() + "/user/.lock"));
        QVERIFY(!QFileInfo::exists(prepared.folder() + "/user/temp"));
        // Only the user can enter the cache folder it made.
        QCOMPARE(QFileInfo(dir.filePath("cache/quillmer")).permissions() &
                     (QFile::ReadOther | QFile::ReadGroup),
                 QFileDevice::Permissions());

        // An existing template stays as it is.
        prepared.keep(profile(dir, "second", "second"));
        QVERIFY(
            readFile(prepared.folder() + "/user/registrymodifications.xcu").startsWith("first"));
        QCOMPARE(
            QDir(dir.filePath("cache/quillmer")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList{"office-profile"});

        const QString instance = dir.filePath("instance1");
        QVERIFY(prepared.seed(instance));
        QVERIFY(readFile(instance + "/user/registrymodifications.xcu").startsWith("first"));
        QCOMPARE(readFile(instance + "/user/config/soffice.cfg/x.xml"), QByteArray("<x/>"));
        // Never over an existing folder.
        QVERIFY(!prepared.seed(instance));

        prepared.discard();
        QVERIFY(!QFileInfo::exists(prepared.folder()));
        QVERIFY(!prepared.seed(dir.filePath("instance2")));

        // A template the office has not marked as its own is never copied,
        // and the next clean profile takes its place.
        prepared.keep(profile(dir, "unmarked", "unmarked", false));
        QVERIFY(!QFileInfo::exists(prepared.folder()));
        QVERIFY(QDir().rename(dir.filePath("unmarked"), prepared.folder()));
        QVERIFY(!prepared.seed(dir.filePath("instance3")));
        prepared.keep(profile(dir, "third", "third"));
        QVERIFY(prepared.seed(dir.filePath("instance3")));
        QVERIFY(
            readFile(dir.filePath("instance3/user/registrymodifications.xcu")).startsWith("third"));
    }

    void refusesWhatIsNotAProfile()
    {
        QTemporaryDir dir;
        const OfficeProfileTemplate prepared(dir.filePath("office-profile"));
        // A profile the office never finished is not kept.
        writeFile(dir.filePath("unfinished/user/.lock"), "locked");
        prepared.keep(dir.filePath("unfinished"));
        QVERIFY(!QFileInfo::exists(prepared.folder()));
        // A template that is a link to somewhere else is not used.
        const QString elsewhere = profile(dir, "elsewhere", "theirs");
        QVERIFY(QFile::link(elsewhere, prepared.folder()));
        QVERIFY(!prepared.seed(dir.filePath("instance")));
        QVERIFY(!QFileInfo::exists(dir.filePath("instance")));
        // Replacing it removes the link, never what it points to.
        prepared.keep(profile(dir, "own", "own"));
        QVERIFY(QFileInfo(elsewhere + "/user/registrymodifications.xcu").isFile());
        QVERIFY(!QFileInfo(prepared.folder()).isSymLink());
        QVERIFY(prepared.seed(dir.filePath("instance")));
    }
};

QTEST_GUILESS_MAIN(TestOfficeProfile)
#include "tst_officeprofile.moc"
