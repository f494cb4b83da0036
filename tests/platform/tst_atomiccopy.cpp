#include "errors/apperror.h"
#include "platform/atomicfile.h"
#include "support/errornumber.h"
#include "support/files.h"
#include "support/programs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace quillmer;
using namespace quillmer::platform;

using quillmer::test::readFile;
using quillmer::test::writeFile;

// Every umask() call of the program's code, counted: this definition takes
// the place of the C library's for the code linked into this test.
static std::atomic<int> umaskCalls = 0;
extern "C" mode_t umask(mode_t mask)
{
    ++umaskCalls;
    return mode_t(::syscall(SYS_umask, mask));
}

namespace {

bool run(const QString& program, const QStringList& arguments)
{
    return test::runProgram(program, arguments).succeeded;
}

// The number of the error a copy raises, 0 when it succeeds.
qint32 copyError(const QString& source, const QString& target)
{
    return test::errorNumber([&] { copyFileAtomically(source, target); });
}

// Several buffers' worth of bytes that differ from one position to the next.
QByteArray bigContent()
{
    QByteArray data(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char((i * 7 + i / 4096) & 0xff);
    return data;
}

} // namespace

class TestAtomicCopy : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_content = bigContent();
    QString m_source;

private slots:
    void initTestCase()
    {
        m_source = m_dir.filePath("source.pdf");
        writeFile(m_source, m_content);
    }

    void copiesEveryByteAndLeavesNothingElse()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("out.pdf");
        QCOMPARE(copyError(m_source, target), 0);
        QCOMPARE(readFile(target), m_content);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.pdf"});
    }

    // An existing target is replaced and keeps its permissions; a link in
    // the target's place is replaced, and what it named is never written.
    void replacesAnExistingTarget()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("out.pdf");
        writeFile(target, "old");
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(copyError(m_source, target), 0);
        QCOMPARE(readFile(target), m_content);
        QCOMPARE(QFile::permissions(target) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);

        const QString link = dir.filePath("link.pdf");
        writeFile(dir.filePath("real.pdf"), "old");
        QVERIFY(QFile::link(dir.filePath("real.pdf"), link));
        QCOMPARE(copyError(m_source, link), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        QCOMPARE(readFile(link), m_content);
        QCOMPARE(readFile(dir.filePath("real.pdf")), QByteArray("old"));
    }

    void failuresLeaveTheOldTargetAndNoTemporaryFile()
    {
        QTemporaryDir dir;
        QCOMPARE(copyError(dir.filePath("absent.pdf"), dir.filePath("out.pdf")), err::FileNotFound);
        QCOMPARE(copyError(m_source, dir.filePath("no/such/folder/out.pdf")), err::PathNotFound);
        QCOMPARE(copyError(m_source, QString()), err::PathNotFound);
        // A folder in the target's place is not replaced.
        QVERIFY(QDir().mkpath(dir.filePath("folder.pdf")));
        QVERIFY(copyError(m_source, dir.filePath("folder.pdf")) != 0);
        QVERIFY(QFileInfo(dir.filePath("folder.pdf")).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A write that stops short (a file-size limit) is a full disk.
    void shortWriteKeepsTheOldTarget()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("out.pdf");
        writeFile(target, "old");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 100000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const qint32 error = copyError(m_source, target);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QCOMPARE(error, err::DiskFull);
        QCOMPARE(readFile(target), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.pdf"});
    }

    void fullDiskKeepsTheOldTarget()
    {
        if (geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        QTemporaryDir dir;
        const QString mount = dir.filePath("disk");
        QVERIFY(QDir().mkpath(mount));
        if (!run("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", mount}))
            QSKIP("cannot mount a tmpfs here");
        const QString target = mount + "/out.pdf";
        writeFile(target, "old");
        const qint32 error = copyError(m_source, target);
        const QByteArray after = readFile(target);
        const QStringList files = QDir(mount).entryList(QDir::Files | QDir::Hidden);
        run("umount", {mount});
        QCOMPARE(error, err::DiskFull);
        QCOMPARE(after, QByteArray("old"));
        QCOMPARE(files, QStringList{"out.pdf"});
    }

    void readOnlyFolderKeepsTheOldTarget()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("ro");
        QVERIFY(QDir().mkpath(folder));
        const QString target = folder + "/out.pdf";
        writeFile(target, "old");
        // Root ignores permission bits; the immutable attribute holds for root too.
        const bool root = geteuid() == 0;
        if (root) {
            if (!run("chattr", {"+i", folder}))
                QSKIP("chattr is not supported on this file system");
        } else {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        const qint32 error = copyError(m_source, target);
        if (root)
            run("chattr", {"-i", folder});
        else
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(error, err::PermissionDenied);
        QCOMPARE(readFile(target), QByteArray("old"));
    }

    // A new file gets the process's umask, and writing it never sets the
    // umask, not even for a moment: quillmer-convert's workers write their
    // targets while other threads make files.
    void newFilesTakeTheUmaskWithoutSettingIt()
    {
        QTemporaryDir dir;
        const mode_t before = ::umask(027);
        umaskCalls = 0;
        const bool written = writeFileAtomically(dir.filePath("settings.ini"), "x");
        copyFileAtomically(m_source, dir.filePath("out.pdf"));
        const int calls = umaskCalls;
        QCOMPARE(::umask(before), mode_t(027));
        QVERIFY(written);
        QCOMPARE(calls, 0);
        for (const char* name : {"settings.ini", "out.pdf"})
            QCOMPARE(QFile::permissions(dir.filePath(name)) & 0x7077,
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }
};

QTEST_GUILESS_MAIN(TestAtomicCopy)
#include "tst_atomiccopy.moc"
