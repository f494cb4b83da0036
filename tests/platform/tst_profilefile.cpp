#include "platform/profilefile.h"
#include "support/files.h"
#include "support/programs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using quillmer::platform::ProfileFile;

using quillmer::test::readFile;
using quillmer::test::writeFile;

namespace {

bool run(const QString& program, const QStringList& args)
{
    return quillmer::test::runProgram(program, args, 10000).succeeded;
}

QString read(const QString& file, const char* section, const char* key)
{
    return ProfileFile::readString(file, QString::fromUtf8(section), QString::fromUtf8(key),
                                   QStringLiteral("<default>"), 255);
}

const QByteArray original = "; Quillmer settings\r\n"
                            "\r\n"
                            "[Other]\r\n"
                            "keep=me\r\n"
                            "\r\n"
                            "[SETTINGS]\r\n"
                            "; last workbook\r\n"
                            "PATH = /home/a/book.xls\r\n"
                            "not a key line\r\n"
                            "OPENFILE=1\r\n"
                            "\r\n"
                            "[Tail]\r\n"
                            "x=1\r\n"
                            "; trailing comment\r\n";

} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void readsLikeTheProfileFunctions()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("SETTINGS.INI"));
        writeFile(file, "[settings]\n  Path =   /a b/c.xls  \nquoted=\"  spaced  \"\n"
                        "dup=first\ndup=second\nempty=\n\n[Other]\nPATH=/elsewhere\n");
        QCOMPARE(read(file, "SETTINGS", "PATH"), QStringLiteral("/a b/c.xls"));
        QCOMPARE(read(file, "Settings", "path"), QStringLiteral("/a b/c.xls"));
        QCOMPARE(read(file, "SETTINGS", "quoted"), QStringLiteral("  spaced  "));
        QCOMPARE(read(file, "SETTINGS", "dup"), QStringLiteral("first"));
        QCOMPARE(read(file, "SETTINGS", "empty"), QString());
        QCOMPARE(read(file, "SETTINGS", "absent"), QStringLiteral("<default>"));
        QCOMPARE(read(file, "Absent", "PATH"), QStringLiteral("<default>"));
        QCOMPARE(read(dir.filePath(QStringLiteral("none.ini")), "SETTINGS", "PATH"),
                 QStringLiteral("<default>"));
        // A folder in the file's place reads as absent.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
        QCOMPARE(read(dir.filePath(QStringLiteral("folder.ini")), "SETTINGS", "PATH"),
                 QStringLiteral("<default>"));
    }

    void cutsValuesToTheBuffer()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("SETTINGS.INI"));
        const QByteArray longValue(300, 'x');
        writeFile(file, "[SETTINGS]\nPATH=" + longValue + "\nUTF=" + QByteArray(253, 'a') + "é\n");
        QCOMPARE(ProfileFile::readString(file, QStringLiteral("SETTINGS"), QStringLiteral("PATH"),
                                         QString(), 255),
                 QString(254, QLatin1Char('x')));
        // 253 + 2 bytes do not fit in 254: the whole character goes, never half of it.
        QCOMPARE(ProfileFile::readString(file, QStringLiteral("SETTINGS"), QStringLiteral("UTF"),
                                         QString(), 255),
                 QString(253, QLatin1Char('a')));
    }

    void writeKeepsEveryOtherLine()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("SETTINGS.INI"));
        writeFile(file, original);

        QVERIFY(ProfileFile::writeString(file, QStringLiteral("settings"), QStringLiteral("path"),
                                         QStringLiteral("/new/book.xls")));
        QByteArray expected = original;
        expected.replace("PATH = /home/a/book.xls", "PATH=/new/book.xls");
        QCOMPARE(readFile(file), expected);

        // A new key goes to the end of its section, before the blank line.
        QVERIFY(ProfileFile::writeString(file, QStringLiteral("SETTINGS"),
                                         QStringLiteral("OUTPUTPATH"),
                                         QStringLiteral("/out/book.pdf")));
        expected.replace("OPENFILE=1\r\n", "OPENFILE=1\r\nOUTPUTPATH=/out/book.pdf\r\n");
        QCOMPARE(readFile(file), expected);

        // A new section is appended.
        QVERIFY(ProfileFile::writeString(file, QStringLiteral("New"), QStringLiteral("k"),
                                         QStringLiteral("v")));
        expected += "\r\n[New]\r\nk=v\r\n";
        QCOMPARE(readFile(file), expected);
        QCOMPARE(read(file, "NEW", "K"), QStringLiteral("v"));
        QCOMPARE(read(file, "SETTINGS", "OUTPUTPATH"), QStringLiteral("/out/book.pdf"));

        // A header left open ends the section for the reader: a new key goes
        // before it, where it reads back.
        writeFile(file, "[SETTINGS]\nx=y\n[SETTINh = aG\npaS\n");
        QVERIFY(ProfileFile::writeString(file, QStringLiteral("SETTINGS"), QStringLiteral("PATH"),
                                         QStringLiteral("/a")));
        QCOMPARE(read(file, "SETTINGS", "PATH"), QStringLiteral("/a"));
    }

    void writeCreatesAMissingFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("SETTINGS.INI"));
        QVERIFY(ProfileFile::writeString(file, QStringLiteral("SETTINGS"), QStringLiteral("PATH"),
                                         QStringLiteral("/x")));
        QCOMPARE(readFile(file), QByteArray("[SETTINGS]\n"
                                            "PATH=/x\n"));
    }

    void refusesValuesThatWouldWriteLines()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("SETTINGS.INI"));
        writeFile(file, original);
        QVERIFY(!ProfileFile::writeString(file, QStringLiteral("SETTINGS"), QStringLiteral("PATH"),
                                          QStringLiteral("/a\n[EVIL]\nx=1")));
        QVERIFY(!ProfileFile::writeString(file, QStringLiteral("SETTINGS"), QStringLiteral("A=B"),
                                          QStringLiteral("x")));
        QCOMPARE(readFile(file), original);
    }

    // A write that cannot finish leaves the old file whole and says false.
    void failedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("SETTINGS.INI"));
        writeFile(file, original);

        // The file may not grow past 64 bytes: the new contents cannot be written.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = ProfileFile::writeString(
            file, QStringLiteral("SETTINGS"), QStringLiteral("PATH"), QStringLiteral("/new"));
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QVERIFY(!written);
        QCOMPARE(readFile(file), original);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("SETTINGS.INI")});
    }

    void fullDiskKeepsTheOldFile()
    {
        if (geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        QTemporaryDir dir;
        const QString mount = dir.filePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkpath(mount));
        if (!run(QStringLiteral("mount"),
                 {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                  QStringLiteral("size=16k"), QStringLiteral("tmpfs"), mount}))
            QSKIP("cannot mount a tmpfs here");
        const QString file = mount + QStringLiteral("/SETTINGS.INI");
        writeFile(file, original);
        {
            QFile filler(mount + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(1024, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        const bool written =
            ProfileFile::writeString(file, QStringLiteral("SETTINGS"), QStringLiteral("PATH"),
                                     QString(3000, QLatin1Char('p')));
        const QByteArray after = readFile(file);
        run(QStringLiteral("umount"), {mount});
        QVERIFY(!written);
        QCOMPARE(after, original);
    }

    void readOnlyFolderKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/SETTINGS.INI");
        writeFile(file, original);
        // Root ignores permission bits; the immutable attribute holds for root too.
        const bool root = geteuid() == 0;
        if (root) {
            if (!run(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}))
                QSKIP("chattr is not supported on this file system");
        } else {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        const bool written = ProfileFile::writeString(
            file, QStringLiteral("SETTINGS"), QStringLiteral("PATH"), QStringLiteral("/new"));
        if (root)
            run(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
        else
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!written);
        QCOMPARE(readFile(file), original);
    }

    // A file its user may not write is refused, although its folder would
    // let the new file be renamed over it. Root may write any file, so as
    // root the write runs as the user nobody.
    void readOnlyFileIsRefused()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("SETTINGS.INI"));
        writeFile(file, original);
        QVERIFY(
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const bool root = geteuid() == 0;
        if (root) {
            QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
            QCOMPARE(seteuid(65534), 0);
        }
        const bool written = ProfileFile::writeString(
            file, QStringLiteral("SETTINGS"), QStringLiteral("PATH"), QStringLiteral("/new"));
        if (root)
            QCOMPARE(seteuid(0), 0);
        QVERIFY(!written);
        QCOMPARE(readFile(file), original);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("SETTINGS.INI")});
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
