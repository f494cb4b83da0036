// LibreOffice's own PDF export of workbooks beside the program's PDF of the
// same workbooks, with the same page set-up (bench/fidelity.sh); and the
// cost of the printer queue against the queue it replaced, plain ps2write
// (bench/queue-cost.sh).
//
//   quillmer_fidelity export <registry.reg> <folder> <workbook>...
//   quillmer_fidelity cost [--runs N] <registry.reg> <workbook>...
//   quillmer_fidelity print <registry.reg> <spool.pdf> <out.ps>
//
// Both drive the program's own parts: a private LibreOffice (LibreOfficeHost),
// the page set-up and print step with the program's default options, the
// registry's printer queue, and the first Ghostscript run's command text.
// After the page set-up, the office's PDF spool (calc_pdf_Export) is its own
// export of the workbook with that set-up: export keeps a copy of it as
// <name>.reference.pdf and writes the program's PDF as <name>.pdf. print
// runs the printer queue alone on a PDF (which it leaves in place), for
// bench/queue-candidates.sh.
#include "engine/commandrunner.h"
#include "engine/ghostscript.h"
#include "engine/printstep.h"
#include "errors/apperror.h"
#include "median.h"
#include "office/libreofficehost.h"
#include "platform/brokenpipes.h"
#include "platform/registrynames.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace quillmer;
using namespace quillmer::office;
using namespace quillmer::printqueue;
using namespace quillmer::platform;

namespace {

double msSince(const QElapsedTimer& clock)
{
    return clock.nsecsElapsed() / 1e6;
}

QString ghostscript(const QString& registry)
{
    return ghostscriptPath(RegistryFile::load(registry));
}

// The registry's printers, or the queue they replaced (ps2write alone),
// timing each print and keeping a copy of the spool when asked.
class BenchPrinters : public InstalledPrinters
{
public:
    explicit BenchPrinters(const QString& registry) : m_real(registry), m_gs(ghostscript(registry))
    {
    }
    QStringList deviceNames() const override { return m_real.deviceNames(); }
    void printToFile(const QString& deviceName, const QString& spoolPdf, const QString& outputFile,
                     std::chrono::milliseconds timeLimit) override
    {
        if (!keepSpool.isEmpty()) {
            QFile::remove(keepSpool);
            QFile::copy(spoolPdf, keepSpool);
        }
        QElapsedTimer clock;
        clock.start();
        if (replacedQueue) {
            QProcess::execute(m_gs, {"-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=ps2write",
                                     "-sOutputFile=" + outputFile, spoolPdf});
            QFile::remove(spoolPdf);
        } else {
            m_real.printToFile(deviceName, spoolPdf, outputFile, timeLimit);
        }
        lastPrint = msSince(clock);
    }

    QString keepSpool;
    bool replacedQueue = false;
    double lastPrint = 0;

private:
    RegistryPrinters m_real;
    QString m_gs;
};

struct Job
{
    double total = 0, queue = 0, pdfwrite = 0;
};

// One conversion of the workbook into scratch/PdfFile.pdf, as the pipeline
// makes it.
Job convert(const QString& registry, const QString& workbook, const QString& scratch,
            const std::shared_ptr<BenchPrinters>& printers, GhostscriptRuns& runs)
{
    QElapsedTimer whole;
    whole.start();
    LibreOfficeHost host(LibreOfficeHost::programFolderFromRegistry(RegistryFile::load(registry)),
                         printers);
    try {
        auto book = host.WorkbooksOpen(workbook);
        auto sheet = book->Sheets(1);
        PrintWorkbookToPostScript(host, *sheet, FixedConversionOptions(), scratch);
        book->Close();
    } catch (...) {
        host.Quit();
        throw;
    }
    host.Quit();
    Job job;
    job.queue = printers->lastPrint;

    const QString gs = ghostscript(registry);
    QElapsedTimer clock;
    clock.start();
    QFile::remove(scratch + "/PdfFile.pdf");
    runs.run(GhostscriptRuns::firstRunCommand(gs, scratch, true, runs.definesSetPdfWrite(gs)),
             scratch, scratch + "/PdfFile.pdf");
    job.pdfwrite = msSince(clock);
    job.total = msSince(whole);
    return job;
}

qsizetype textLength(const QString& pdf)
{
    QProcess p;
    p.start("pdftotext", {pdf, "-"});
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified().size();
}

int exportAll(const QString& registry, const QString& folder, const QStringList& workbooks)
{
    QDir().mkpath(folder);
    ProcessCommandRunner runner;
    GhostscriptRuns runs(runner);
    auto printers = std::make_shared<BenchPrinters>(registry);
    for (const QString& workbook : workbooks) {
        const QString name = QFileInfo(workbook).completeBaseName();
        QTemporaryDir scratch;
        printers->keepSpool = folder + "/" + name + ".reference.pdf";
        QFile::remove(folder + "/" + name + ".pdf");
        try {
            const Job job = convert(registry, workbook, scratch.path(), printers, runs);
            QFile::rename(scratch.path() + "/PdfFile.pdf", folder + "/" + name + ".pdf");
            std::printf("%s: %.0f ms\n", qPrintable(name), job.total);
        } catch (const AppError& e) {
            std::printf("%s: %s\n", qPrintable(name), qPrintable(e.description()));
        }
        std::fflush(stdout);
    }
    return 0;
}

int cost(int runCount, const QString& registry, const QStringList& workbooks)
{
    ProcessCommandRunner runner;
    GhostscriptRuns runs(runner);
    auto printers = std::make_shared<BenchPrinters>(registry);
    std::printf("| workbook | job, ps2write alone | job, this queue | ratio | queue step, "
                "ps2write alone | queue step, this queue | pdfwrite, ps2write alone | "
                "pdfwrite, this queue | text characters |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---|\n");
    for (const QString& workbook : workbooks) {
        QList<double> total[2], queue[2], pdfwrite[2];
        qsizetype text[2] = {0, 0};
        for (int run = 0; run < runCount; ++run) {
            // Alternate which queue goes first, so that neither gains from
            // the other's warm caches.
            for (int turn = 0; turn < 2; ++turn) {
                const int replaced = (run + turn) % 2;
                printers->replacedQueue = replaced;
                QTemporaryDir scratch;
                const Job job = convert(registry, workbook, scratch.path(), printers, runs);
                total[replaced] << job.total;
                queue[replaced] << job.queue;
                pdfwrite[replaced] << job.pdfwrite;
                text[replaced] = textLength(scratch.path() + "/PdfFile.pdf");
            }
        }
        std::printf("| %s | %.0f | %.0f | %.3f | %.0f | %.0f | %.0f | %.0f | %lld / %lld |\n",
                    qPrintable(QFileInfo(workbook).fileName()), median(total[1]), median(total[0]),
                    median(total[0]) / median(total[1]), median(queue[1]), median(queue[0]),
                    median(pdfwrite[1]), median(pdfwrite[0]), static_cast<long long>(text[1]),
                    static_cast<long long>(text[0]));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    quillmer::platform::ignoreBrokenPipes();
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString mode = args.isEmpty() ? QString() : args.takeFirst();
    int runs = 5;
    if (mode == "cost" && args.size() > 1 && args[0] == "--runs") {
        runs = args[1].toInt();
        args = args.mid(2);
    }
    if (mode == "export" && args.size() >= 3)
        return exportAll(args[0], args[1], args.mid(2));
    if (mode == "cost" && args.size() >= 2 && runs > 0)
        return cost(runs, args[0], args.mid(1));
    if (mode == "print" && args.size() == 3) {
        QTemporaryDir dir;
        const QString spool = dir.filePath("spool.pdf");
        QFile::copy(args[1], spool);
        try {
            RegistryPrinters(args[0]).printToFile(PdfPrinterQueue, spool, args[2],
                                                  std::chrono::minutes(5));
        } catch (const AppError& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.description()));
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "usage: quillmer_fidelity export <registry.reg> <folder> <workbook>...\n"
                         "       quillmer_fidelity cost [--runs N] <registry.reg> <workbook>...\n"
                         "       quillmer_fidelity print <registry.reg> <spool.pdf> <out.ps>\n");
    return 2;
}
