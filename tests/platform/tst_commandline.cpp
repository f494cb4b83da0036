#include "platform/failure.h"
#include "platform/process.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>

using namespace quillmer::platform;

using quillmer::test::writeScript;

namespace {

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void splitsArgumentsByTheWindowsRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("blanks") << " a  b\tc " << QStringList{"a", "b", "c"};
        QTest::newRow("quoted blank") << "\"a b\" c" << QStringList{"a b", "c"};
        QTest::newRow("quote inside a token")
            << "-sOutputFile=\"/tmp/x y/PdfFile.pdf\" -f"
            << QStringList{"-sOutputFile=/tmp/x y/PdfFile.pdf", "-f"};
        QTest::newRow("escaped quote") << "a\\\"b" << QStringList{"a\"b"};
        QTest::newRow("2n backslashes, quote") << "a\\\\\"b c\"" << QStringList{"a\\b c"};
        QTest::newRow("2n+1 backslashes, quote") << "a\\\\\\\"b" << QStringList{"a\\\"b"};
        QTest::newRow("backslashes alone")
            << "C:\\temp\\ x\\\\" << QStringList{"C:\\temp\\", "x\\\\"};
        QTest::newRow("empty quoted argument") << "a \"\" b" << QStringList{"a", "", "b"};
        QTest::newRow("doubled quote inside quotes") << "\"a\"\"b\"" << QStringList{"a\"b"};
        QTest::newRow("nothing") << "   " << QStringList{};
    }
    void splitsArgumentsByTheWindowsRules()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(splitArguments(text), expected);
    }

    void findsTheExecutable()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Program Files/Ghost Script"));
        const QString exe = dir.path() + "/Program Files/Ghost Script/gs run";
        writeScript(exe, "exit 0\n");

        // Unquoted with spaces: the shortest prefix that is a program wins.
        CommandLine c = parseCommandLine(exe + " -dSAFER -sOutputFile=\"a b.pdf\"");
        QVERIFY(c.found);
        QCOMPARE(c.executable, exe);
        QCOMPARE(c.arguments, (QStringList{"-dSAFER", "-sOutputFile=a b.pdf"}));

        // Quoted: the text inside the quotes, even right before an argument.
        c = parseCommandLine('"' + exe + "\"-q x");
        QVERIFY(c.found);
        QCOMPARE(c.executable, exe);
        QCOMPARE(c.arguments, (QStringList{"-q", "x"}));

        // A bare name is looked up on PATH.
        c = parseCommandLine("sh -c true");
        QVERIFY(c.found);
        QVERIFY(c.executable.endsWith("/sh"));
        QCOMPARE(c.arguments, (QStringList{"-c", "true"}));

        // A folder or a file without the execute bit is no program.
        c = parseCommandLine(dir.path() + "/Program Files/Ghost Script -x");
        QVERIFY(!c.found);
        QCOMPARE(c.executable, dir.path() + "/Program");
        QFile plain(dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        c = parseCommandLine(plain.fileName() + " x");
        QVERIFY(!c.found);
    }

    void startsAndReaps()
    {
        QTemporaryDir dir;
        writeScript(dir.filePath("exit"), "pwd > where; exit \"$1\"\n");
        auto p = Process::start(dir.filePath("exit"), {"7"}, dir.path());
        QVERIFY(p->wait(-1));
        QCOMPARE(p->exitCode(), std::optional<int>(7));
        QCOMPARE(p->terminationSignal(), 0);
        QFile where(dir.filePath("where"));
        QVERIFY(where.open(QIODevice::ReadOnly));
        QCOMPARE(where.readAll().trimmed(), QFile::encodeName(QDir(dir.path()).canonicalPath()));

        // Missing program, missing working folder: not started, and why.
        const auto failure = [&](const QString& program, const QString& folder) {
            try {
                Process::start(program, {}, folder);
            } catch (const Failure& f) {
                return f.message();
            }
            return QString();
        };
        QVERIFY(failure(dir.filePath("nothing"), dir.path()).contains(std::strerror(ENOENT)));
        QVERIFY(failure(dir.filePath("exit"), dir.filePath("no folder")).contains("exit"));
    }

    // The file a program inherits is its descriptor 3, with either way of
    // starting it.
    void inheritsOneFile()
    {
        QTemporaryDir dir;
        writeScript(dir.filePath("read"), "cat /dev/fd/3 > got\n");
        QFile file(dir.filePath("given"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.write("spool");
        file.flush();
        for (const int deathSignal : {0, SIGTERM}) {
            ProcessOptions options{dir.path(), false, deathSignal, {}};
            options.inheritedFile = file.handle();
            auto p = Process::start(dir.filePath("read"), {}, options);
            QVERIFY(p && p->wait(-1) && p->exitCode() == 0);
            QCOMPARE(quillmer::test::readFile(dir.filePath("got")), QByteArray("spool"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
