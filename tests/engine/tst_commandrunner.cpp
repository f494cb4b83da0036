#include "engine/commandrunner.h"
#include "engine/scratchfolder.h"
#include "errors/apperror.h"
#include "support/errornumber.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quillmer;

using quillmer::test::errorNumber;
using quillmer::test::modeOf;
using quillmer::test::readFile;
using quillmer::test::writeScript;

class TestCommandRunner : public QObject
{
    Q_OBJECT

private slots:
    // An unquoted executable path with spaces, arguments split the Windows
    // way, the working folder, and an exit code of 3: started, code 3.
    void runsAPathWithSpaces()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("my tools"));
        QVERIFY(QDir(dir.path()).mkpath("work"));
        writeScript(dir.filePath("my tools/exit code"),
                    "printf '%s|' \"$@\" > args; pwd > where; exit 3\n");

        ProcessCommandRunner runner;
        qint32 wait = -1;
        QVERIFY(runner.RunCommandAndWait(dir.filePath("my tools/exit code") + " -a \"b c\" d\\\"e",
                                         dir.filePath("work"), wait, 0, 128));
        const CommandOutcome outcome = runner.lastOutcome();
        QVERIFY(outcome.started);
        QVERIFY(outcome.ended);
        QCOMPARE(outcome.exitCode, std::optional<int>(3));
        QVERIFY(!outcome.succeeded());
        QCOMPARE(readFile(dir.filePath("work/args")), QByteArray("-a|b c|d\"e|"));
        QCOMPARE(readFile(dir.filePath("work/where")).trimmed(),
                 QFile::encodeName(QDir(dir.filePath("work")).canonicalPath()));
    }

    void missingProgramIsNotStarted()
    {
        QTemporaryDir dir;
        ProcessCommandRunner runner;
        qint32 wait = -1;
        QVERIFY(!runner.RunCommandAndWait(dir.filePath("no such program") + " -x", dir.path(), wait,
                                          0, 128));
        QVERIFY(!runner.lastOutcome().started);
        // Nor a program in a working folder that does not exist.
        QVERIFY(!runner.RunCommandAndWait("/bin/true", dir.filePath("gone"), wait, 0, 128));
        QCOMPARE(
            errorNumber([&] { runner.RunCommandAndWait("/bin/true", dir.path(), wait, 70000, 0); }),
            err::Overflow);
    }

    // A finite wait returns while the program runs; the program is reaped
    // when it ends and never stays a zombie.
    void finiteWaitLeavesNoZombie()
    {
        ProcessCommandRunner runner;
        qint32 wait = 50;
        QVERIFY(runner.RunCommandAndWait("/bin/sleep 600", QString(), wait, 0, 128));
        const CommandOutcome outcome = runner.lastOutcome();
        QVERIFY(outcome.started);
        QVERIFY(!outcome.ended);
        QCOMPARE(outcome.exitCode, std::nullopt);
        QVERIFY(QFileInfo::exists(QStringLiteral("/proc/%1").arg(outcome.pid)));
        QCOMPARE(::kill(outcome.pid, SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(outcome.pid)),
                                 20000);

        // With no limit it returns once the program has ended.
        wait = -1;
        QVERIFY(runner.RunCommandAndWait("/bin/sh -c \"exit 0\"", QString(), wait, 0, 128));
        QVERIFY(runner.lastOutcome().succeeded());
    }

    // A hidden program (window state 0) shows nothing: its error output does
    // not reach this process's; a shown one (state 1) shares it.
    void hiddenProgramShowsNoErrors()
    {
        QTemporaryDir dir;
        const QString captured = dir.filePath("stderr");
        const int saved = ::dup(2);
        const int file = ::open(QFile::encodeName(captured).constData(), O_WRONLY | O_CREAT, 0600);
        ::dup2(file, 2);
        ProcessCommandRunner runner;
        qint32 wait = -1;
        const bool hidden =
            runner.RunCommandAndWait("/bin/sh -c \"echo hidden >&2\"", QString(), wait, 0, 128);
        const bool shown =
            runner.RunCommandAndWait("/bin/sh -c \"echo shown >&2\"", QString(), wait, 1, 128);
        ::dup2(saved, 2);
        ::close(saved);
        ::close(file);
        QVERIFY(hidden && shown);
        QCOMPARE(readFile(captured), QByteArray("shown\n"));
    }

    // The reason for the exit code: Ghostscript can start, fail and still
    // leave a file behind.
    void failingGhostscriptIsToldApart()
    {
        QTemporaryDir dir;
        ProcessCommandRunner runner;
        qint32 wait = -1;
        const QString line =
            "/usr/bin/gs -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=\"" +
            dir.filePath("out.pdf") + "\" -f \"" + dir.filePath("missing.ps") + "\"";
        QVERIFY(runner.RunCommandAndWait(line, dir.path(), wait, 0, 128));
        QVERIFY(runner.lastOutcome().ended);
        QVERIFY(runner.lastOutcome().exitCode.value_or(0) != 0);
    }

    void scratchFolderPath()
    {
        const QByteArray saved = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", "/somewhere/cache");
        QCOMPARE(ScratchFolder().path(), QString("/somewhere/cache/quillmer/temp"));
        qputenv("XDG_CACHE_HOME", "relative/cache"); // not absolute: ignored
        QCOMPARE(ScratchFolder().path(), QDir::homePath() + "/.cache/quillmer/temp");
        qunsetenv("XDG_CACHE_HOME");
        QCOMPARE(ScratchFolder().path(), QDir::homePath() + "/.cache/quillmer/temp");
        if (!saved.isNull())
            qputenv("XDG_CACHE_HOME", saved);
        const ScratchFolder scratch("/c");
        QCOMPARE(scratch.psFile(), QString("/c/quillmer/temp/PsFile.ps"));
        QCOMPARE(scratch.pdfTempFile(), QString("/c/quillmer/temp/PdfFiletemp.pdf"));
        QCOMPARE(scratch.pdfFile(), QString("/c/quillmer/temp/PdfFile.pdf"));
    }

    void scratchFolderIsPrivate()
    {
        QTemporaryDir dir;
        const ScratchFolder scratch(dir.filePath("cache"));
        scratch.ensure();
        QCOMPARE(modeOf(scratch.path()), mode_t(0700));
        QCOMPARE(modeOf(dir.filePath("cache/quillmer")), mode_t(0700));
        // Found again and reused; loosened rights are tightened.
        QVERIFY(::chmod(QFile::encodeName(scratch.path()).constData(), 0755) == 0);
        scratch.ensure();
        QCOMPARE(modeOf(scratch.path()), mode_t(0700));
    }

    void scratchFolderRefusals()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("elsewhere"));

        // A symbolic link, at either level.
        QVERIFY(QDir(dir.path()).mkpath("a/quillmer"));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), dir.filePath("a/quillmer/temp")));
        QCOMPARE(errorNumber([&] { ScratchFolder(dir.filePath("a")).ensure(); }),
                 err::PathFileAccess);
        QVERIFY(QDir(dir.path()).mkpath("b"));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), dir.filePath("b/quillmer")));
        QCOMPARE(errorNumber([&] { ScratchFolder(dir.filePath("b")).ensure(); }),
                 err::PathFileAccess);
        QCOMPARE(errorNumber([&] { ScratchFolder(dir.filePath("b")).tryLock(); }),
                 err::PathFileAccess);
        QVERIFY(QDir(dir.filePath("elsewhere")).isEmpty());

        // A file where the folder should be.
        QVERIFY(QDir(dir.path()).mkpath("c/quillmer"));
        QFile file(dir.filePath("c/quillmer/temp"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(errorNumber([&] { ScratchFolder(dir.filePath("c")).ensure(); }),
                 err::PathFileAccess);

        // Another user's folder.
        if (::geteuid() != 0)
            return; // only root can hand a folder to someone else
        QVERIFY(QDir(dir.path()).mkpath("d/quillmer/temp"));
        QCOMPARE(
            ::chown(QFile::encodeName(dir.filePath("d/quillmer/temp")).constData(), 65534, 65534),
            0);
        QCOMPARE(errorNumber([&] { ScratchFolder(dir.filePath("d")).ensure(); }),
                 err::PathFileAccess);
    }

    // Two holders of the lock take turns: the second gets it only once the
    // first has let go.
    void lockSerialises()
    {
        QTemporaryDir dir;
        const ScratchFolder scratch(dir.path());
        std::atomic<int> step{0};
        int firstReleasedAt = 0, secondTookAt = 0;
        std::optional<ScratchFolder::Lock> first = scratch.lock();
        QVERIFY(!scratch.tryLock());
        std::thread second([&] {
            ScratchFolder::Lock lock = scratch.lock();
            secondTookAt = ++step;
        });
        QVERIFY(!scratch.tryLock());
        firstReleasedAt = ++step;
        first.reset();
        second.join();
        QVERIFY(secondTookAt > firstReleasedAt);
        QVERIFY(scratch.tryLock()); // free again
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
