#include "platform/officeprofile.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using quillmer::platform::OfficeProfileTemplate;

using quillmer::test::readFile;
using quillmer::test::writeFile;

namespace {

// A profile as a running office leaves it: settings, a lock, scratch files.
QString profile(const QTemporaryDir& dir, const char* name, const QByteArray& settings)
{
    const QString folder = dir.filePath(QLatin1String(name));
    writeFile(folder + "/user/registrymodifications.xcu", settings);
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
        QCOMPARE(readFile(prepared.folder() + "/user/registrymodifications.xcu"), QByteArray("first"));
        QVERIFY(!QFileInfo::exists(prepared.folder() + "/user/.lock"));
        QVERIFY(!QFileInfo::exists(prepared.folder() + "/user/temp"));
        // Only the user can enter the cache folder it made.
        QCOMPARE(QFileInfo(dir.filePath("cache/quillmer")).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFileDevice::Permissions());

        // An existing template stays as it is.
        prepared.keep(profile(dir, "second", "second"));
        QCOMPARE(readFile(prepared.folder() + "/user/registrymodifications.xcu"), QByteArray("first"));
        QCOMPARE(QDir(dir.filePath("cache/quillmer")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"office-profile"});

        const QString instance = dir.filePath("instance1");
        QVERIFY(prepared.seed(instance));
        QCOMPARE(readFile(instance + "/user/registrymodifications.xcu"), QByteArray("first"));
        QCOMPARE(readFile(instance + "/user/config/soffice.cfg/x.xml"), QByteArray("<x/>"));
        // Never over an existing folder.
        QVERIFY(!prepared.seed(instance));

        prepared.discard();
        QVERIFY(!QFileInfo::exists(prepared.folder()));
        QVERIFY(!prepared.seed(dir.filePath("instance2")));
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
    }
};

QTEST_GUILESS_MAIN(TestOfficeProfile)
#include "tst_officeprofile.moc"
