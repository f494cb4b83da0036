// Times what a user waits for in the window, on real LibreOffice and
// Ghostscript, through the main window itself (offscreen) and the program's
// own conversion services, with the spare office ready as it is once the
// splash has gone; and "soffice --headless --convert-to pdf" on the same
// files, in turn with it, in the same run: from a warm headless profile (what
// repeated --convert-to runs leave) and from a profile the office has marked
// as its own, as a desktop session's first start does (a copy of the
// program's kept profile), which spares the office its graphics self-tests.
//
//   quillmer_bench_firstmessage [--runs N] <program folder> <workbook>...
//       from Convert to the first message, one job; one row per workbook
//   quillmer_bench_firstmessage --batch [--runs N] <program folder> <workbook>...
//       all the workbooks in one list: the mean time per job, the processor
//       time per job (the program, its offices and Ghostscript; each office's
//       start is in it, as every job has one), and the program's own peak
//       memory during the batch (the office excluded)
//
// Prints Markdown table rows, milliseconds and megabytes.
#include "office/officeprofile.h"
#include "platform/brokenpipes.h"
#include "platform/process.h"
#include "platform/registrynames.h"
#include "ui/frmmain.h"
#include "ui/qtfiledialog.h"
#include "ui/qtservices.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

using namespace quillmer;

namespace {

// The clock stops at the first box; every box is answered at once.
class TimedMessages : public MessageBoxService
{
public:
    explicit TimedMessages(QElapsedTimer& clock) : m_clock(clock) {}
    MessageAnswer show(const QString& text, MessageIcon, MessageButtons) override
    {
        if (firstAt < 0) {
            firstAt = double(m_clock.nsecsElapsed()) / 1e6;
            first = text;
        }
        ++count;
        return MessageAnswer::Ok;
    }
    double firstAt = -1;
    QString first;
    int count = 0;

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
struct NoEnd : ProgramExit
{
    void EndProgram() override {}
};

// Processor time of this process and of its children reaped so far, in
// milliseconds.
double processorMilliseconds()
{
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        ::getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            total += double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    }
    return total;
}

// Resident memory in megabytes, from /proc (VmRSS).
double residentMegabytes(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// The highest resident memory of this process while it lives.
class PeakMemory
{
public:
    PeakMemory()
        : m_thread([this] {
              while (!m_stop) {
                  const double now = residentMegabytes(::getpid());
                  if (now > m_peak)
                      m_peak = now;
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          })
    {
    }
    double stop()
    {
        m_stop = true;
        m_thread.join();
        return m_peak;
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_peak{0};
    std::thread m_thread;
};

struct Press
{
    double firstMessage = -1; // ms
    double whole = -1;        // ms
    QString message;
    int messages = 0;
    double peakMegabytes = 0;
    double spareMegabytes = 0;
    double processor = 0; // ms, from the press to the last message
};

// One press of Convert in a new main window with the given jobs, once the
// spare office is ready.
Press pressConvert(const QString& programFolder, const QStringList& workbooks)
{
    QTemporaryDir dir;
    QElapsedTimer clock;
    TimedMessages messages(clock);
    NoPointer pointer;
    ErrorHandler errors(messages, pointer);
    StartupSettings startup;
    NoShell shell;
    NoEnd ender;
    SettingsFile settings(programFolder, messages, errors);
    settings.CheckSettingsFile();
    ui::QtFileDialog dialogs;
    InstalledConversionServices conversion(platform::registryFileIn(programFolder),
                                           dir.filePath(QStringLiteral("cache")));
    conversion.prepare();
    ui::FrmMain window(ui::MainWindowContext{ProgramFolders::oneFolder(programFolder), startup,
                                             messages, pointer, errors, shell, ender, settings,
                                             dialogs, conversion.services()});
    window.show();
    auto* source = window.findChild<QLineEdit*>(QStringLiteral("txtfilepath"));
    auto* target = window.findChild<QLineEdit*>(QStringLiteral("txtfilepathOutput"));
    for (const QString& book : workbooks) {
        source->setText(book);
        target->setText(dir.filePath(QFileInfo(book).completeBaseName() + ".pdf"));
        window.findChild<QPushButton*>(QStringLiteral("cmdAddToList"))->click();
    }
    Press press;
    const pid_t spare = conversion.hosts().waitForSpare(std::chrono::seconds(60));
    press.spareMegabytes = spare ? residentMegabytes(spare) : 0;
    PeakMemory peak;
    const double processorBefore = processorMilliseconds();
    clock.start();
    window.findChild<QPushButton*>(QStringLiteral("cmdConvert"))->click();
    press.whole = double(clock.nsecsElapsed()) / 1e6;
    press.processor = processorMilliseconds() - processorBefore;
    press.peakMegabytes = peak.stop();
    press.firstMessage = messages.firstAt;
    press.message = messages.first;
    press.messages = messages.count;
    return press;
}

// "soffice --headless --convert-to pdf" once per workbook, from a profile
// that has been used before; milliseconds for all of them, and the
// processor time they took in *processor.
double convertTo(const QString& office, const QString& profile, const QStringList& workbooks,
                 double* processor = nullptr)
{
    const double processorBefore = processorMilliseconds();
    QTemporaryDir out;
    QElapsedTimer clock;
    clock.start();
    for (const QString& book : workbooks) {
        auto p = platform::Process::start(
            office,
            {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
             QStringLiteral("--outdir"), out.path(), book},
            QString());
        if (p)
            p->wait(-1);
    }
    if (processor)
        *processor = processorMilliseconds() - processorBefore;
    return double(clock.nsecsElapsed()) / 1e6;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    const qsizetype n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString figures(const QList<double>& v)
{
    return QStringLiteral("%1 (%2–%3)")
        .arg(median(v), 0, 'f', 0)
        .arg(*std::min_element(v.begin(), v.end()), 0, 'f', 0)
        .arg(*std::max_element(v.begin(), v.end()), 0, 'f', 0);
}

} // namespace

int main(int argc, char** argv)
{
    quillmer::platform::ignoreBrokenPipes();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool batch = args.removeAll(QStringLiteral("--batch")) > 0;
    int runs = 5;
    if (args.size() > 1 && args[0] == "--runs") {
        runs = args[1].toInt();
        args = args.mid(2);
    }
    if (args.size() < 2 || runs < 1) {
        std::fprintf(stderr, "usage: quillmer_bench_firstmessage [--batch] [--runs N] "
                             "<program folder> <workbook>...\n");
        return 2;
    }
    const QString programFolder = QDir(args.takeFirst()).absolutePath();
    const QString office = QStringLiteral("/usr/lib/libreoffice/program/soffice");
    QTemporaryDir profiles;
    const QString profile = profiles.filePath(QStringLiteral("warm"));
    convertTo(office, profile, {args.first()});  // the profile's first start
    pressConvert(programFolder, {args.first()}); // leaves the program's kept profile
    const QString marked = profiles.filePath(QStringLiteral("marked"));
    if (!office::OfficeProfileTemplate().seed(marked)) {
        std::fprintf(stderr, "no kept office profile to copy\n");
        return 1;
    }

    if (batch) {
        QList<double> perJob, plain, ratio, desk, deskRatio, peak, spare, ours, theirs;
        const double files = double(args.size());
        for (int i = 0; i < runs; ++i) {
            const Press press = pressConvert(programFolder, args);
            const double alternative = convertTo(office, profile, args) / files;
            double desktopProcessor = 0;
            const double desktop = convertTo(office, marked, args, &desktopProcessor) / files;
            ours << press.processor / files;
            theirs << desktopProcessor / files;
            perJob << press.whole / double(args.size());
            plain << alternative;
            ratio << perJob.last() / alternative;
            desk << desktop;
            deskRatio << perJob.last() / desktop;
            peak << press.peakMegabytes;
            spare << press.spareMegabytes;
        }
        std::printf("| jobs | per job: median (fastest–slowest) | --convert-to per file, headless "
                    "profile | ratio | --convert-to per file, marked profile | ratio | peak "
                    "memory, program (MB) | spare office (MB) | processor per job | "
                    "marked --convert-to, processor per file |\n"
                    "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        std::printf("| %lld | %s | %s | %.2f | %s | %.2f | %.0f | %.0f | %.0f | %.0f |\n",
                    qlonglong(args.size()), qPrintable(figures(perJob)),
                    qPrintable(figures(plain)), median(ratio), qPrintable(figures(desk)),
                    median(deskRatio), *std::max_element(peak.begin(), peak.end()),
                    median(spare), median(ours), median(theirs));
        return 0;
    }

    std::printf("| workbook | first message: median (fastest–slowest) | --convert-to, headless "
                "profile | ratio | --convert-to, marked profile | ratio | first message |\n"
                "|---|---:|---:|---:|---:|---:|---|\n");
    for (const QString& workbook : args) {
        QList<double> first, plain, ratio, desk, deskRatio;
        QString message;
        for (int i = 0; i < runs; ++i) {
            const Press press = pressConvert(programFolder, {workbook});
            const double alternative = convertTo(office, profile, {workbook});
            const double desktop = convertTo(office, marked, {workbook});
            first << press.firstMessage;
            plain << alternative;
            ratio << press.firstMessage / alternative;
            desk << desktop;
            deskRatio << press.firstMessage / desktop;
            message = press.message;
        }
        std::printf("| %s | %s | %s | %.2f | %s | %.2f | %s |\n",
                    qPrintable(QFileInfo(workbook).fileName()), qPrintable(figures(first)),
                    qPrintable(figures(plain)), median(ratio), qPrintable(figures(desk)),
                    median(deskRatio), qPrintable(message));
        std::fflush(stdout);
    }
    return 0;
}
