// Times the stages of one conversion on real workbooks and, for comparison,
// LibreOffice's own "soffice --headless --convert-to pdf" on the same files.
//
//   quillmer_bench [--runs N] <registry.reg> <workbook>...
//
// Prints one Markdown table row per workbook: the median of N runs of each
// stage, in milliseconds.
#include "engine/commandrunner.h"
#include "engine/printstep.h"
#include "median.h"
#include "office/libreofficehost.h"
#include "platform/brokenpipes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

struct Stages
{
    QList<double> start, open, setup, print, pdfwrite, total, convertTo;
};

} // namespace

int main(int argc, char** argv)
{
    quillmer::platform::ignoreBrokenPipes();
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = 5;
    if (args.size() > 1 && args[0] == "--runs") {
        runs = args[1].toInt();
        args = args.mid(2);
    }
    if (args.size() < 2 || runs < 1) {
        std::fprintf(stderr, "usage: quillmer_bench [--runs N] <registry.reg> <workbook>...\n");
        return 2;
    }
    const QString registry = args.takeFirst();
    const QString office = LibreOfficeHost::programFolderFromRegistry(RegistryFile::load(registry));

    std::printf("| workbook | pages | instance start | open | page set-up | print to PostScript | "
                "pdfwrite | total | soffice --convert-to pdf |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const QString& workbook : args) {
        Stages s;
        int pages = 0;
        for (int run = 0; run < runs; ++run) {
            QTemporaryDir dir;
            QElapsedTimer clock, whole;
            whole.start();
            clock.start();
            LibreOfficeHost host(office, std::make_shared<RegistryPrinters>(registry));
            s.start << clock.nsecsElapsed() / 1e6;

            clock.restart();
            auto book = host.WorkbooksOpen(workbook);
            auto sheet = book->Sheets(1);
            s.open << clock.nsecsElapsed() / 1e6;

            // The set-up alone, then the print alone.
            FixedConversionOptions options;
            clock.restart();
            auto setup = sheet->pageSetup();
            setup->setPrintComments(xl::PrintInPlace);
            setup->setPrintGridlines(true);
            setup->setPaperSize(xl::PaperA4);
            setup->setZoom(100);
            setup->setOrientation(xl::Portrait);
            setup->setPrintHeadings(false);
            setup->setPrintNotes(true);
            setup->setPrintArea(QString());
            s.setup << clock.nsecsElapsed() / 1e6;

            clock.restart();
            book->PrintOut({}, {}, QVariant(1), QVariant(false), QVariant(PdfPrinterQueue),
                           QVariant(true), QVariant(1), QVariant(dir.path() + PsFileName));
            s.print << clock.nsecsElapsed() / 1e6;
            book->Close();
            host.Quit();
            const double hostTotal = whole.nsecsElapsed() / 1e6;

            clock.restart();
            ProcessCommandRunner runner;
            qint32 wait = -1;
            runner.RunCommandAndWait(
                "/usr/bin/gs -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=\"" +
                    dir.path() + "/PdfFile.pdf\" -dCompatibilityLevel=1.4 -f \"" + dir.path() +
                    PsFileName + "\"",
                dir.path(), wait, 0, 128);
            s.pdfwrite << clock.nsecsElapsed() / 1e6;
            s.total << hostTotal + s.pdfwrite.last();

            QProcess info;
            info.start("pdfinfo", {dir.path() + "/PdfFile.pdf"});
            info.waitForFinished(-1);
            for (const QByteArray& line : info.readAllStandardOutput().split('\n'))
                if (line.startsWith("Pages:"))
                    pages = line.mid(6).trimmed().toInt();

            // LibreOffice alone, with a fresh profile as each instance has.
            QTemporaryDir profile;
            clock.restart();
            QProcess convert;
            convert.start("/usr/bin/soffice",
                          {"-env:UserInstallation=file://" + profile.path(), "--headless",
                           "--convert-to", "pdf", "--outdir", dir.path() + "/direct", workbook});
            convert.waitForFinished(-1);
            s.convertTo << clock.nsecsElapsed() / 1e6;
        }
        std::printf("| %s | %d | %.0f | %.0f | %.0f | %.0f | %.0f | %.0f | %.0f |\n",
                    qPrintable(QFileInfo(workbook).fileName()), pages, median(s.start),
                    median(s.open), median(s.setup), median(s.print), median(s.pdfwrite),
                    median(s.total), median(s.convertTo));
        std::fflush(stdout);
    }
    return 0;
}
