// Times what a user waits for after pressing Convert: from the start of the
// batch run to the first message box (the job's outcome), for one job, on
// real LibreOffice and Ghostscript, with the program's own services.
//
//   quillmer_bench_firstmessage [--runs N] <registry.reg> <workbook>...
//
// Prints one Markdown table row per workbook: the median, fastest and
// slowest of N runs, in milliseconds, and the message shown.
#include "frontend/conversionsession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace quillmer;

namespace {

// The clock stops at the first box.
class TimedMessages : public MessageBoxService
{
public:
    explicit TimedMessages(QElapsedTimer& clock) : m_clock(clock) {}
    MessageAnswer show(const QString& text, MessageIcon, MessageButtons) override
    {
        if (firstAt < 0) {
            firstAt = m_clock.nsecsElapsed() / 1e6;
            first = text;
        }
        return MessageAnswer::Ok;
    }
    double firstAt = -1;
    QString first;

private:
    QElapsedTimer& m_clock;
};

struct NoPointer : PointerService
{
    void setBusy() override {}
    void setDefault() override {}
};
struct NoShell : DocumentShell
{
    void ShellOpen(const QString&) override {}
};
struct NoExit : ProgramExit
{
    void EndProgram() override {}
};
struct Boxes : ConvertBoxes
{
    QString text(Box box) const override
    {
        return box == Box::Adjust ? QStringLiteral("100") : QStringLiteral("1");
    }
    void setFocus(Box) override {}
};
struct Paths : PathBoxes
{
    QString source, target;
    QString sourceText() const override { return source; }
    void setSourceText(const QString& t) override { source = t; }
    QString targetText() const override { return target; }
    void setTargetText(const QString& t) override { target = t; }
};

// One press of Convert with one job; milliseconds to the first message.
double pressConvert(const QString& registryPath, const QString& workbook, QString& message)
{
    QTemporaryDir dir;
    QElapsedTimer clock;
    TimedMessages messages(clock);
    NoPointer pointer;
    ErrorHandler errors(messages, pointer);
    FixedConversionOptions options;
    JobList list;
    JobListStatus status(list);
    NoShell shell;
    NoExit exit;
    InstalledConversionServices services(registryPath, dir.filePath("cache"));
    Boxes boxes;
    Paths paths;
    paths.source = workbook;
    paths.target = dir.filePath("out.pdf");
    JobHandlers handlers(list, paths, messages, errors);
    ConversionSession session(ConversionSessionContext{options, status, messages, errors, shell,
                                                       exit, services.services()},
                              BatchRunControls{boxes, paths, list, handlers, pointer});
    clock.start();
    session.batchRun().cmdConvert_Click();
    message = messages.first;
    return messages.firstAt;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = 5;
    if (args.size() > 1 && args[0] == "--runs") {
        runs = args[1].toInt();
        args = args.mid(2);
    }
    if (args.size() < 2 || runs < 1) {
        std::fprintf(
            stderr, "usage: quillmer_bench_firstmessage [--runs N] <registry.reg> <workbook>...\n");
        return 2;
    }
    const QString registry = args.takeFirst();
    std::printf("| workbook | median | fastest | slowest | first message |\n");
    std::printf("|---|---:|---:|---:|---|\n");
    for (const QString& workbook : args) {
        QList<double> times;
        QString message;
        for (int i = 0; i < runs; ++i)
            times << pressConvert(registry, workbook, message);
        std::sort(times.begin(), times.end());
        const qsizetype n = times.size();
        const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
        std::printf("| %s | %.0f | %.0f | %.0f | %s |\n",
                    qPrintable(QFileInfo(workbook).fileName()), median, times.first(), times.last(),
                    qPrintable(message));
        std::fflush(stdout);
    }
    return 0;
}
