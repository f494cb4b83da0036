#pragma once

// The conversion engine with real services for the engine's tests: real
// LibreOffice hosts and Ghostscript, recording stand-ins for the job list and
// the dialogs, a scratch folder of its own, and hooks to inject faults.

#include "engine/pipeline.h"
#include "office/libreofficehost.h"
#include "support/enginefakes.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/registrytext.h"

#include <QDir>
#include <QTemporaryDir>
#include <deque>
#include <functional>

namespace quillmer::test {

using namespace quillmer::office;
using namespace quillmer::printqueue;
using namespace quillmer::platform;

using RecordingShell = quillmer::test::RecordingDocumentShell;
using RecordingExit = quillmer::test::RecordingProgramExit;

// The real runner, remembering each command line. It can check something
// while a command runs or after it ended, and, as a fault, refuse to start
// the conversion runs.
class Runner : public CommandRunner
{
public:
    bool RunCommandAndWait(const QString& commandLine, const QString& workingFolder,
                           qint32& waitTime, qint32 windowState, qint32 creationFlags) override
    {
        commands << commandLine;
        if (whileRunning)
            whileRunning();
        m_refused = refuseConversionRuns && commandLine.contains("-sDEVICE=pdfwrite");
        if (m_refused)
            return false;
        const bool started = m_real.RunCommandAndWait(commandLine, workingFolder, waitTime,
                                                      windowState, creationFlags);
        if (afterRunning)
            afterRunning(commandLine);
        return started;
    }
    CommandOutcome lastOutcome() const override
    {
        return m_refused ? CommandOutcome() : m_real.lastOutcome();
    }

    QStringList commands;
    std::function<void()> whileRunning;
    std::function<void(const QString&)> afterRunning;
    bool refuseConversionRuns = false;

private:
    ProcessCommandRunner m_real;
    bool m_refused = false;
};

// Real LibreOffice hosts (of source, by default each a new office); their
// processes are noted. As faults, the next creations can fail with a given
// error, and wrap can put a faulty host around each.
class Hosts : public SpreadsheetHostFactory
{
public:
    explicit Hosts(const QString& registry) : m_real(registry) {}
    std::unique_ptr<SpreadsheetHost> create() override
    {
        if (!failures.empty()) {
            const qint32 number = failures.front();
            failures.pop_front();
            throw AppError(number);
        }
        auto host = (source ? source : &m_real)->create();
        auto* office = static_cast<LibreOfficeHost*>(host.get());
        pids << office->processId();
        return wrap ? wrap(std::move(host), *office) : std::move(host);
    }

    std::deque<qint32> failures;
    QList<pid_t> pids;
    SpreadsheetHostFactory* source = nullptr;
    std::function<std::unique_ptr<SpreadsheetHost>(std::unique_ptr<SpreadsheetHost>,
                                                   LibreOfficeHost&)>
        wrap;

private:
    LibreOfficeHostFactory m_real;
};

// A registry that names a Ghostscript path (none when null).
inline QString registryWithGhostscript(const QString& folder, const std::optional<QString>& gsPath)
{
    RegistryText text;
    if (gsPath)
        text.ghostscript(*gsPath);
    else
        text.key("SOFTWARE\\GS");
    return text.writeTo(folder + "/pipeline.reg");
}

inline QString programGhostscript()
{
    const RegistryFile registry = RegistryFile::load(ProgramRegistry);
    const RegistryKey* key = registry.key(hkey::LocalMachine, "SOFTWARE\\GS");
    const auto value = key ? key->value("GSPath") : std::nullopt;
    return value ? QString::fromUtf8(value->data).remove(QChar(0)) : QString();
}

// A pipeline with its services: real hosts from hostRegistry, the
// Ghostscript of gsPath, a scratch folder of its own (or the one under
// cacheFolder).
struct Rig
{
    explicit Rig(const std::optional<QString>& gsPath = programGhostscript(),
                 const QString& hostRegistry = ProgramRegistry,
                 const QString& cacheFolder = QString())
        : registryPath(registryWithGhostscript(dir.path(), gsPath)), registry(registryPath),
          hosts(hostRegistry), printers(hostRegistry),
          scratch(cacheFolder.isEmpty() ? dir.filePath("cache") : cacheFolder)
    {
        options.options().openAfterConversion = 0;
        jobs.rowTexts = {"Book.xls", "Second.xls", "Third.xls"};
    }

    void convert(const QString& source, const QString& target, qint16 row = 1)
    {
        engine.ConversionPipeline(source, target, row, 1);
    }
    QString target(const QString& name) const { return dir.filePath(name); }
    QStringList scratchFiles() const
    {
        return QDir(scratch.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    QString registryPath;
    Registry registry;
    FixedConversionOptions options;
    RecordingJobs jobs;
    FakeMessageBox messages;
    FakePointer pointer;
    ErrorHandler errors{messages, pointer};
    RecordingShell shell;
    RecordingExit exit;
    Hosts hosts;
    RegistryPrinters printers;
    Runner runner;
    ScriptedVersion version;
    ScratchFolder scratch;
    ConversionEngine engine{PipelineContext{options, jobs, messages, errors, shell, exit, hosts,
                                            printers, runner, registry, version, scratch}};
};

} // namespace quillmer::test
