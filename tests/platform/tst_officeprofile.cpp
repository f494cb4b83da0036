#include "platform/officeprofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using quillmer::platform::OfficeProfileTemplate;

namespace {

void write(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A profile as a running office leaves it: settings, a lock, scratch files.
QString profile(const QTemporaryDir& dir, const char* name, const QByteArray& settings)
{
    const QString folder = dir.filePath(QLatin1String(name));
    write(folder + "/user/registrymodifications.xcu", settings);
    write(folder + "/user/.lock", "locked");
    write(folder + "/user/temp/scratch", "x");
    write(folder + "/user/config/soffice.cfg/x.xml", "<x/>");
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
        QCOMPARE(read(prepared.folder() + "/user/registrymodifications.xcu"), QByteArray("first"));
        QVERIFY(!QFileInfo::exists(prepared.folder() + "/user/.lock"));
        QVERIFY(!QFileInfo::exists(prepared.folder() + "/user/temp"));
        // Only the user can enter the cache folder it made.
        QCOMPARE(QFileInfo(dir.filePath("cache/quillmer")).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFileDevice::Permissions());

        // An existing template stays as it is.
        prepared.keep(profile(dir, "second", "second"));
        QCOMPARE(read(prepared.folder() + "/user/registrymodifications.xcu"), QByteArray("first"));
        QCOMPARE(QDir(dir.filePath("cache/quillmer")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"office-profile"});

        const QString instance = dir.filePath("instance1");
        QVERIFY(prepared.seed(instance));
        QCOMPARE(read(instance + "/user/registrymodifications.xcu"), QByteArray("first"));
        QCOMPARE(read(instance + "/user/config/soffice.cfg/x.xml"), QByteArray("<x/>"));
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
        write(dir.filePath("unfinished/user/.lock"), "locked");
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
