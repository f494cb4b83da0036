#include "engine/ghostscript.h"
#include "platform/process.h"
#include "printqueue/ghostscriptcommand.h"
#include "support/files.h"
#include "support/pdftools.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmer;

using quillmer::test::pageSizes;
using quillmer::test::pdfText;
using quillmer::test::writeFile;

namespace {

// The real runner, remembering each command line it was given.
class RecordingRunner : public CommandRunner
{
public:
    bool RunCommandAndWait(const QString& commandLine, const QString& workingFolder,
                           qint32& waitTime, qint32 windowState, qint32 creationFlags) override
    {
        commands << commandLine;
        folders << workingFolder;
        return m_real.RunCommandAndWait(commandLine, workingFolder, waitTime, windowState,
                                        creationFlags);
    }
    CommandOutcome lastOutcome() const override { return m_real.lastOutcome(); }

    QStringList commands;
    QStringList folders;

private:
    ProcessCommandRunner m_real;
};

// Four pages, each showing its number in words.
const char* const FourPages = R"(%!PS
/Helvetica findfont 48 scalefont setfont
[(one) (two) (three) (four)] { 72 400 moveto show showpage } forall
)";

} // namespace

class TestGhostscript : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_gs;
    QString m_scratch;

    // A Ghostscript that still has ".setpdfwrite", as before 9.54: the real
    // one with the operator defined ahead of every -c. It logs each start.
    QString olderGhostscript(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        writeFile(path, QStringLiteral(R"(#!/bin/sh
echo started >> "$0.log"
for a in "$@"; do
  shift
  if [ "$a" = "-c" ]; then
    set -- "$@" -c "/.setpdfwrite { 3000000 setvmthreshold } bind def"
  else
    set -- "$@" "$a"
  fi
done
exec %1 "$@"
)")
                            .arg(m_gs)
                            .toUtf8());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    int starts(const QString& script)
    {
        QFile log(script + ".log");
        return log.open(QIODevice::ReadOnly) ? int(log.readAll().count('\n')) : 0;
    }

private slots:
    void initTestCase()
    {
        m_gs = QStandardPaths::findExecutable("gs");
        QVERIFY(!m_gs.isEmpty());
        m_scratch = m_dir.filePath("scratch");
        QVERIFY(QDir().mkpath(m_scratch));
        writeFile(m_scratch + "/PsFile.ps", FourPages);
    }

    // The three command texts, every character as designed.
    void commandTexts()
    {
        QCOMPARE(GhostscriptRuns::firstRunCommand("C:/gs/gswin32c.exe", "C:/temp", true, true),
                 QString(R"(C:/gs/gswin32c.exe -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite )"
                         R"(-sOutputFile="C:/temp/PdfFile.pdf" -dCompatibilityLevel=1.4 -c )"
                         R"(.setpdfwrite -f "C:/temp/PsFile.ps")"));
        QCOMPARE(GhostscriptRuns::firstRunCommand("/usr/bin/gs", "/s", false, true),
                 QString(R"(/usr/bin/gs -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite )"
                         R"(-sOutputFile="/s/PdfFiletemp.pdf" -dCompatibilityLevel=1.4 -c )"
                         R"(.setpdfwrite -f "/s/PsFile.ps")"));
        QCOMPARE(GhostscriptRuns::secondRunCommand("/usr/bin/gs", "/s", "1", "2", true),
                 QString(R"(/usr/bin/gs -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite )"
                         R"(-dFirstPage=1 -dLastPage=2 -sOutputFile="/s/PdfFile.pdf" )"
                         R"(-dCompatibilityLevel=1.4 -c .setpdfwrite -f "/s/PdfFiletemp.pdf")"));
    }

    // Debian's Ghostscript 10 lacks the operator; an older one has it. Each
    // executable is asked once, and again only when the file changes.
    void setPdfWriteIsAskedOncePerExecutable()
    {
        RecordingRunner runner;
        GhostscriptRuns gs(runner);
        QVERIFY(!gs.definesSetPdfWrite(m_gs));
        QVERIFY(!gs.definesSetPdfWrite(m_gs));
        QCOMPARE(runner.commands.size(), 1);

        const QString older = olderGhostscript("gs-older");
        QVERIFY(gs.definesSetPdfWrite(older));
        QVERIFY(gs.definesSetPdfWrite(older));
        QCOMPARE(starts(older), 1);
        QCOMPARE(runner.commands.size(), 2);

        // Replaced by a Ghostscript without it: asked again.
        writeFile(
            older,
            QStringLiteral("#!/bin/sh\nexec %1 \"$@\"\n# a longer file\n").arg(m_gs).toUtf8());
        QVERIFY(!gs.definesSetPdfWrite(older));
        QCOMPARE(runner.commands.size(), 3);

        // One that cannot be started cannot be asked: the design's text,
        // and it is tried again next time.
        QVERIFY(gs.definesSetPdfWrite(m_dir.filePath("missing/gs")));
        QVERIFY(gs.definesSetPdfWrite(m_dir.filePath("missing/gs")));
        QCOMPARE(runner.commands.size(), 5);

        // Asked ahead through a runner of its own: the conversion's runner
        // asks nothing.
        GhostscriptAnswers answers;
        RecordingRunner ahead, conversion;
        answers.askAhead(ahead, older);
        GhostscriptRuns shared(conversion, &answers);
        QVERIFY(!shared.definesSetPdfWrite(older));
        QCOMPARE(ahead.commands.size(), 1);
        QCOMPARE(conversion.commands.size(), 0);
    }

    // The design's text on Ghostscript 10 stops at .setpdfwrite with exit
    // code 1 after writing a blank page; that run failed and its PDF goes.
    // With the replacement the same run makes the four pages.
    void firstRunWithAndWithoutTheOperator()
    {
        RecordingRunner runner;
        GhostscriptRuns gs(runner);
        const QString pdf = m_scratch + "/PdfFile.pdf";
        QVERIFY(
            gs.run(GhostscriptRuns::firstRunCommand(m_gs, m_scratch, true, true), m_scratch, pdf));
        QCOMPARE(runner.lastOutcome().exitCode, std::optional<int>(1));
        QVERIFY(!QFile::exists(pdf));

        QVERIFY(
            gs.run(GhostscriptRuns::firstRunCommand(m_gs, m_scratch, true, false), m_scratch, pdf));
        QVERIFY(runner.lastOutcome().succeeded());
        QCOMPARE(pageSizes(pdf).size(), 4);
        QCOMPARE(runner.folders.last(), m_scratch);

        // An older Ghostscript runs the design's text as it stands.
        const QString older = olderGhostscript("gs-older-run");
        QVERIFY(gs.run(GhostscriptRuns::firstRunCommand(older, m_scratch, false, true), m_scratch,
                       m_scratch + "/PdfFiletemp.pdf"));
        QVERIFY(runner.lastOutcome().succeeded());
        QCOMPARE(pageSizes(m_scratch + "/PdfFiletemp.pdf").size(), 4);
    }

    void failedRunsRemoveTheirOutput()
    {
        RecordingRunner runner;
        GhostscriptRuns gs(runner);
        const QString pdf = m_scratch + "/broken.pdf";
        // One good page, then an error half-way through the file.
        writeFile(m_scratch + "/broken.ps",
                  "%!PS\n/Helvetica findfont 48 scalefont setfont 72 400 moveto (one) show "
                  "showpage\nnosuchoperator\n");
        QVERIFY(gs.run(m_gs + " -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=\"" + pdf +
                           "\" -f \"" + m_scratch + "/broken.ps\"",
                       m_scratch, pdf));
        QVERIFY(!runner.lastOutcome().succeeded());
        QVERIFY(!QFile::exists(pdf));

        writeFile(pdf, "left from before");
        QVERIFY(!gs.run(m_dir.filePath("missing/gs") + " -q", m_scratch, pdf));
        QVERIFY(QFile::exists(pdf)); // nothing ran: the caller decides
    }

    // The printer queue's run: a % in the file name is the character, and a
    // set-up text past Ghostscript's 2048-byte operand limit arrives whole.
    void ps2writeRunKeepsNameAndSetup()
    {
        ProcessCommandRunner runner;
        GhostscriptRuns gs(runner);
        const QString spool = m_scratch + "/spool.pdf";
        QVERIFY(gs.run(GhostscriptRuns::firstRunCommand(m_gs, m_scratch, true, false), m_scratch,
                       m_scratch + "/PdfFile.pdf") &&
                QFile::copy(m_scratch + "/PdfFile.pdf", spool));
        const QByteArray setup = QByteArray("/QuillmerPad 0 def\n").repeated(150);
        const QString output = m_dir.filePath("100%d.ps");
        auto process = platform::Process::start(
            m_gs, printqueue::ghostscript::ps2writeArguments(spool, output, setup), QString());
        QVERIFY(process && process->wait(60000));
        QCOMPARE(process->exitCode(), std::optional<int>(0));
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("/QuillmerPad 0 def"), 150);
    }

    // The second run cuts the pages in the numbering of the whole file; a %
    // in the scratch folder's name stays a %, and white space that the
    // numeric test lets pass around a page number is no harm.
    void secondRunCutsTheRange()
    {
        RecordingRunner runner;
        GhostscriptRuns gs(runner);
        const QString scratch = m_dir.filePath("100%d");
        QVERIFY(QDir().mkpath(scratch));
        writeFile(scratch + "/PsFile.ps", FourPages);
        QVERIFY(gs.run(GhostscriptRuns::firstRunCommand(m_gs, scratch, false, false), scratch,
                       scratch + "/PdfFiletemp.pdf"));
        QVERIFY(gs.run(GhostscriptRuns::secondRunCommand(m_gs, scratch, " 2", "3\t", false),
                       scratch, scratch + "/PdfFile.pdf"));
        QVERIFY(runner.lastOutcome().succeeded());
        QCOMPARE(pageSizes(scratch + "/PdfFile.pdf").size(), 2);
        const QString text = pdfText(scratch + "/PdfFile.pdf").simplified();
        QCOMPARE(text, QString("two three"));
    }

    void emptyRanges_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<bool>("empty");
        QTest::newRow("inside") << "2"
                                << "3" << false;
        QTest::newRow("last page only") << "4"
                                        << "4" << false;
        QTest::newRow("to past the end") << "4"
                                         << "9" << false;
        QTest::newRow("from before page 1") << "0"
                                            << "2" << false;
        QTest::newRow("from past the end") << "5"
                                           << "6" << true;
        QTest::newRow("from after to") << "3"
                                       << "2" << true;
        QTest::newRow("to before page 1") << "2"
                                          << "0" << true;
        // Not whole numbers: Ghostscript refuses them itself.
        QTest::newRow("fraction") << "1.5"
                                  << "2" << false;
    }
    void emptyRanges()
    {
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(bool, empty);
        RecordingRunner runner;
        GhostscriptRuns gs(runner);
        const QString pdf = m_scratch + "/four.pdf";
        if (!QFile::exists(pdf))
            QVERIFY(gs.run(GhostscriptRuns::firstRunCommand(m_gs, m_scratch, false, false) + "",
                           m_scratch, m_scratch + "/PdfFiletemp.pdf") &&
                    QFile::copy(m_scratch + "/PdfFiletemp.pdf", pdf));
        QCOMPARE(gs.rangeIsEmpty(m_gs, pdf, m_scratch, first, last), empty);
    }

    void unreadablePdfHasNoPages()
    {
        ProcessCommandRunner runner;
        GhostscriptRuns gs(runner);
        writeFile(m_scratch + "/junk.pdf", "not a PDF at all");
        QVERIFY(gs.rangeIsEmpty(m_gs, m_scratch + "/junk.pdf", m_scratch, "1", "1"));
        QVERIFY(gs.rangeIsEmpty(m_gs, m_scratch + "/absent.pdf", m_scratch, "1", "1"));
    }
};

QTEST_GUILESS_MAIN(TestGhostscript)
#include "tst_ghostscript.moc"
