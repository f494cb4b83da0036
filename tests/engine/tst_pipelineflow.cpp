// The conversion's flow on a scripted in-memory spreadsheet host and
// Ghostscript runner: the order of the calls, the error trap and the jumps.
// What a real office and a real Ghostscript make of it is tst_pipeline's.
#include "engine/pipeline.h"
#include "support/enginefakes.h"
#include "support/errornumber.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/registrytext.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <map>

using namespace quillmer;
using namespace quillmer::office;
using namespace quillmer::printqueue;

namespace {

// The calls of every host, page set-up and workbook, one line each, and
// the errors they are to raise: the first call whose line starts with a
// key of failAt raises its number (once).
struct Script
{
    QStringList journal;
    std::map<QString, qint32> failAt;
    QString activePrinter = "Office Printer";

    void call(const QString& line)
    {
        journal << line;
        for (auto it = failAt.begin(); it != failAt.end(); ++it)
            if (line.startsWith(it->first)) {
                const qint32 number = it->second;
                failAt.erase(it);
                throw AppError(number);
            }
    }
};

QString shown(const OptionalArg& arg)
{
    return arg ? arg->toString() : QStringLiteral("-");
}

class ScriptedSetup : public PageSetup
{
public:
    explicit ScriptedSetup(Script& s) : m_s(s) {}
    void setPrintComments(qint32 v) override { m_s.call(QString("PrintComments=%1").arg(v)); }
    void setPrintGridlines(bool v) override { m_s.call(QString("PrintGridlines=%1").arg(v)); }
    void setPaperSize(qint32 v) override { m_s.call(QString("PaperSize=%1").arg(v)); }
    void setZoom(qint16 v) override { m_s.call(QString("Zoom=%1").arg(v)); }
    void setOrientation(qint32 v) override { m_s.call(QString("Orientation=%1").arg(v)); }
    void setPrintHeadings(bool v) override { m_s.call(QString("PrintHeadings=%1").arg(v)); }
    void setPrintNotes(bool v) override { m_s.call(QString("PrintNotes=%1").arg(v)); }
    void setPrintArea(const QString& v) override { m_s.call("PrintArea=" + v); }
    void setFitToPagesWide(qint32 v) override { m_s.call(QString("FitToPagesWide=%1").arg(v)); }
    void setFitToPagesTall(qint32 v) override { m_s.call(QString("FitToPagesTall=%1").arg(v)); }

private:
    Script& m_s;
};

class ScriptedSheet : public Worksheet
{
public:
    explicit ScriptedSheet(Script& s) : m_s(s) {}
    QString Name() const override { return "Sheet1"; }
    std::unique_ptr<PageSetup> pageSetup() override { return std::make_unique<ScriptedSetup>(m_s); }
    qint32 Visible() const override { return xl::SheetVisible; }
    void setVisible(qint32 v) override { m_s.call(QString("Visible=%1").arg(v)); }

private:
    Script& m_s;
};

// A workbook whose PrintOut writes a small print file where it is told.
class ScriptedBook : public Workbook
{
public:
    explicit ScriptedBook(Script& s) : m_s(s) {}
    QString Name() const override { return "Book.xls"; }
    qint16 SheetCount() const override { return 1; }
    std::unique_ptr<Worksheet> Sheets(qint16 index) override
    {
        m_s.call(QString("Sheets %1").arg(index));
        return std::make_unique<ScriptedSheet>(m_s);
    }
    void PrintOut(const OptionalArg& from, const OptionalArg& to, const OptionalArg& copies,
                  const OptionalArg& preview, const OptionalArg& activePrinter,
                  const OptionalArg& printToFile, const OptionalArg& collate,
                  const OptionalArg& prToFileName) override
    {
        m_s.call(QStringList{"PrintOut", shown(from), shown(to), shown(copies), shown(preview),
                             shown(activePrinter), shown(printToFile), shown(collate),
                             shown(prToFileName)}
                     .join(' '));
        test::writeFile(prToFileName->toString(), "%!PS\n");
    }
    void ExportAsFixedFormat(const OptionalArg&, const OptionalArg&, const OptionalArg&,
                             const OptionalArg&, const OptionalArg&, const OptionalArg&,
                             const OptionalArg&, const OptionalArg&, const OptionalArg&,
                             const OptionalArg&) override
    {
        m_s.call("ExportAsFixedFormat");
    }
    QList<qint32> SheetPageCounts(const OptionalArg&) override { return {1}; }
    void Close() override { m_s.call("Close"); }

private:
    Script& m_s;
};

class ScriptedHost : public SpreadsheetHost
{
public:
    explicit ScriptedHost(Script& s) : m_s(s) {}
    std::shared_ptr<Workbook> WorkbooksOpen(const QString& path) override
    {
        m_s.call("Open " + QFileInfo(path).fileName());
        return m_book = std::make_shared<ScriptedBook>(m_s);
    }
    std::shared_ptr<Workbook> WorkbooksOpen(const QString& path, const OptionalArg&) override
    {
        return WorkbooksOpen(path);
    }
    std::shared_ptr<Workbook> ActiveWorkbook() override
    {
        m_s.call("ActiveWorkbook");
        return m_book;
    }
    QString ActivePrinter() const override
    {
        m_s.call("ActivePrinter");
        return m_s.activePrinter;
    }
    void setActivePrinter(const QString& name) override
    {
        m_s.call("ActivePrinter=" + name);
        m_s.activePrinter = name;
    }
    void Quit() override { m_s.call("Quit"); }

private:
    Script& m_s;
    std::shared_ptr<Workbook> m_book;
};

class ScriptedHosts : public SpreadsheetHostFactory
{
public:
    explicit ScriptedHosts(Script& s) : m_s(s) {}
    std::unique_ptr<SpreadsheetHost> create() override
    {
        m_s.call("Create");
        return std::make_unique<ScriptedHost>(m_s);
    }

private:
    Script& m_s;
};

class ScriptedPrinters : public InstalledPrinters
{
public:
    QStringList deviceNames() const override { return names; }
    void printToFile(const QString&, const QString&, const QString&,
                     std::chrono::milliseconds) override
    {
    }
    QStringList names{"Quillmer"};
};

// A Ghostscript that succeeds at once: every command ends with exit code
// 0, and the file after -sOutputFile= is written.
class ScriptedRunner : public CommandRunner
{
public:
    bool RunCommandAndWait(const QString& commandLine, const QString&, qint32&, qint32,
                           qint32) override
    {
        commands << commandLine;
        static const QRegularExpression output("-sOutputFile=\"([^\"]+)\"");
        if (const auto m = output.match(commandLine); m.hasMatch())
            test::writeFile(m.captured(1), "%PDF-1.4\n");
        return true;
    }
    CommandOutcome lastOutcome() const override
    {
        CommandOutcome o;
        o.started = o.ended = true;
        o.exitCode = 0;
        return o;
    }
    QStringList commands;
};

struct Rig
{
    Rig()
    {
        jobs.rowTexts = {"Book.xls"};
        options.options().openAfterConversion = 0;
    }
    void convert() { engine.ConversionPipeline(dir.filePath("Book.xls"), target(), 1, 1); }
    QString target() const { return dir.filePath("out.pdf"); }
    // The journal from the first call that starts with the text.
    QStringList journalFrom(const QString& start) const
    {
        for (qsizetype i = 0; i < script.journal.size(); ++i)
            if (script.journal[i].startsWith(start))
                return script.journal.mid(i);
        return {};
    }

    QTemporaryDir dir;
    Script script;
    Registry registry{test::RegistryText().ghostscript("/bin/sh").writeTo(dir.filePath("r.reg"))};
    FixedConversionOptions options;
    test::RecordingJobs jobs;
    test::FakeMessageBox messages;
    test::FakePointer pointer;
    ErrorHandler errors{messages, pointer};
    test::RecordingDocumentShell shell;
    test::RecordingProgramExit exit;
    ScriptedHosts hosts{script};
    ScriptedPrinters printers;
    ScriptedRunner runner;
    test::ScriptedVersion version;
    ScratchFolder scratch{dir.filePath("cache")};
    ConversionEngine engine{PipelineContext{options, jobs, messages, errors, shell, exit, hosts,
                                            printers, runner, registry, version, scratch}};
};

} // namespace

class TestPipelineFlow : public QObject
{
    Q_OBJECT

private slots:
    // A good conversion: the options reach the page set-up in order, the
    // print takes its eight arguments, the active printer is put back, and
    // the workbook and host end.
    void aConversionCallsTheHostInOrder()
    {
        Rig rig;
        ConversionOptions& o = rig.options.options();
        o.paperSize = "Legal";
        o.landscape = true;
        o.scale = "74.5";    // rounds half to even
        o.showGridlines = 2; // greyed counts as not ticked
        o.showHeaders = 1;
        o.openAfterConversion = 1;
        rig.convert();
        const QString ps = rig.scratch.path() + "/PsFile.ps";
        QCOMPARE(rig.script.journal,
                 (QStringList{"Create", "Open Book.xls", "Sheets 1", "ActivePrinter",
                              "PrintComments=16", "PrintGridlines=0", "PaperSize=5", "Zoom=74",
                              "Orientation=2", "PrintHeadings=1", "PrintNotes=1", "PrintArea=",
                              "ActiveWorkbook", "PrintOut - - 1 false Quillmer true 1 " + ps,
                              "ActivePrinter=Office Printer", "Close", "Quit"}));
        QCOMPARE(rig.script.activePrinter, QString("Office Printer"));
        QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Completed});
        QCOMPARE(rig.messages.texts(), QStringList{"BOOK.XLS Converted Successfully."});
        QCOMPARE(rig.shell.opened, QStringList{rig.target()});
        QCOMPARE(rig.runner.commands.filter("-sDEVICE=pdfwrite").size(), 1);
        QCOMPARE(rig.engine.host(), nullptr);
    }

    // Error 429 sets "Failed", makes a new host and goes on with the next
    // step: at the creation the road still ends "Completed"; at the opening
    // the next step finds no workbook (91) and the trap ends the call.
    void error429MakesANewHostAndGoesOn()
    {
        Rig rig;
        rig.script.failAt = {{"Create", err::CannotCreateObject}};
        rig.convert();
        QCOMPARE(rig.script.journal.mid(0, 3), (QStringList{"Create", "Create", "Open Book.xls"}));
        QCOMPARE(rig.jobs.statuses(1), (QStringList{JobStatus::Failed, JobStatus::Completed}));
        QCOMPARE(rig.pointer.defaultCalls, 0);

        Rig atOpen;
        atOpen.script.failAt = {{"Open", err::CannotCreateObject}};
        atOpen.convert();
        QCOMPARE(atOpen.script.journal, (QStringList{"Create", "Open Book.xls", "Create", "Quit"}));
        QCOMPARE(atOpen.jobs.statuses(1), (QStringList{JobStatus::Failed, JobStatus::Failed}));
        QCOMPARE(atOpen.pointer.defaultCalls, 1); // HandleError ran
        QVERIFY(atOpen.runner.commands.isEmpty());
    }

    // Any other error: "Failed", the host quits, HandleError reports it, and
    // the active printer stays as the failed print left it. An error inside
    // the trap itself passes to the caller, and the host is ended all the
    // same.
    void errorsGoThroughTheTrap()
    {
        Rig rig;
        rig.script.failAt = {{"PrintOut", err::ObjectDefined}};
        rig.convert();
        QCOMPARE(rig.journalFrom("PrintOut").mid(1), QStringList{"Quit"});
        QCOMPARE(rig.jobs.statuses(1), QStringList{JobStatus::Failed});
        QCOMPARE(rig.pointer.defaultCalls, 1);
        QCOMPARE(rig.engine.host(), nullptr);

        Rig inTrap;
        inTrap.script.failAt = {{"Sheets", err::SubscriptOutOfRange},
                                {"Quit", hosterr::ServerUnavailable}};
        QCOMPARE(test::errorNumber([&] { inTrap.convert(); }), hosterr::ServerUnavailable);
        QCOMPARE(inTrap.journalFrom("Sheets"), (QStringList{"Sheets 1", "Quit"}));
        QCOMPARE(inTrap.jobs.statuses(1), QStringList{JobStatus::Failed});
        QCOMPARE(inTrap.pointer.defaultCalls, 0);
        QCOMPARE(inTrap.engine.host(), nullptr);
    }

    // An old Windows without its printer: the message, then straight to the
    // end (step 20); nothing printed, the status untouched.
    void oldWindowsWithoutItsPrinterJumpsToTheEnd()
    {
        Rig rig;
        rig.version.record = VersionRecord{1, 4, 10}; // Windows 98
        rig.convert();
        QCOMPARE(rig.script.journal,
                 (QStringList{"Create", "Open Book.xls", "Sheets 1", "Close", "Quit"}));
        QCOMPARE(rig.messages.texts(), QStringList{ConversionEngine::missingPrinterMessage("98")});
        QVERIFY(rig.jobs.changes.isEmpty());
        QVERIFY(rig.runner.commands.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPipelineFlow)
#include "tst_pipelineflow.moc"
