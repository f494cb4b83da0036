#include "cli/commandoptions.h"

#include "frontend/batchrun.h"
#include "frontend/optionrules.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QThread>

namespace quillmer::cli {

namespace {

const QStringList PaperSizes{QStringLiteral("A4"), QStringLiteral("Legal"),
                             QStringLiteral("A5"), QStringLiteral("Letter"),
                             QStringLiteral("B4"), QStringLiteral("B5")};

std::optional<int> wholeNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toInt();
}

} // namespace

std::optional<QString> windowRefusal(const ConversionOptions& print)
{
    if (!IsNumeric(print.firstPage))
        return BatchRun::fromMessage();
    if (!IsNumeric(print.lastPage))
        return BatchRun::toMessage();
    if (!IsNumeric(print.scale) || print.scale.trimmed().isEmpty())
        return BatchRun::adjustMessage();
    const auto scale = toNumber(print.scale);
    if (!scale || *scale < 10 || *scale > 400)
        return BatchRun::rangeMessage();
    return std::nullopt;
}

ParsedCommand parseCommand(const QStringList& arguments, const QString& workingDir)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts .xls workbooks to PDF files with LibreOffice and Ghostscript, as the Quillmer\n"
        "window does, several at a time.\n\n"
        "Exit code: 0 when every job converted or was skipped, 1 when any failed, 2 for a\n"
        "usage error (nothing is converted then)."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption recursive(QStringLiteral("recursive"),
                                       QStringLiteral("Also takes the .xls files of the subfolders "
                                                      "of a folder SOURCE."));
    const QCommandLineOption manifest(
        QStringLiteral("manifest"),
        QStringLiteral("Reads jobs from a CSV file (RFC 4180, UTF-8) with the columns "
                       "source,target; relative paths are relative to its folder; an empty "
                       "target is named as for a SOURCE."),
        QStringLiteral("FILE"));
    const QCommandLineOption outputDir(
        {QStringLiteral("o"), QStringLiteral("output-dir")},
        QStringLiteral("Writes each target as DIR/<name without .xls>.pdf, keeping the "
                       "subfolders of a folder SOURCE. Without it, each target goes beside its "
                       "source, named as the window proposes."),
        QStringLiteral("DIR"));
    const QCommandLineOption paper(QStringLiteral("paper"),
                                   QStringLiteral("Paper size: A4 (default), Legal, A5, Letter, "
                                                  "B4 or B5."),
                                   QStringLiteral("SIZE"), QStringLiteral("A4"));
    const QCommandLineOption landscape(QStringLiteral("landscape"),
                                       QStringLiteral("Prints the first sheet in landscape."));
    const QCommandLineOption scale(QStringLiteral("scale"),
                                   QStringLiteral("Scale in per cent, 10 to 400 (default 100)."),
                                   QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption noGridlines(QStringLiteral("no-gridlines"),
                                         QStringLiteral("Prints no gridlines (they are on by "
                                                        "default)."));
    const QCommandLineOption headings(QStringLiteral("headings"),
                                      QStringLiteral("Prints the row and column headings."));
    const QCommandLineOption pages(QStringLiteral("pages"),
                                   QStringLiteral("Keeps only the workbook's pages FROM to TO "
                                                  "(default: all pages)."),
                                   QStringLiteral("FROM-TO"));
    const QCommandLineOption jobs(
        {QStringLiteral("j"), QStringLiteral("jobs")},
        QStringLiteral("Number of parallel workers (default: the number of cores, %1).")
            .arg(QThread::idealThreadCount()),
        QStringLiteral("N"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Each job's limit in seconds (default 120); "
                                                    "past it, the job's office is killed and the "
                                                    "job fails."),
                                     QStringLiteral("SECONDS"), QStringLiteral("120"));
    const QCommandLineOption shard(QStringLiteral("shard"),
                                   QStringLiteral("Takes only the jobs whose position in the "
                                                  "sorted job list, modulo N, is K (0 <= K < N)."),
                                   QStringLiteral("K/N"));
    const QCommandLineOption skipExisting(QStringLiteral("skip-existing"),
                                          QStringLiteral("Keeps a target that is newer than its "
                                                         "source, so an interrupted batch can be "
                                                         "resumed."));
    const QCommandLineOption freshOffice(QStringLiteral("fresh-office"),
                                         QStringLiteral("Gives every job an office instance of "
                                                        "its own, as the window does."));
    const QCommandLineOption report(QStringLiteral("report"),
                                    QStringLiteral("Writes one JSON line per job: source, target, "
                                                   "status (converted, failed, skipped), pages, "
                                                   "seconds, and error on failure."),
                                    QStringLiteral("FILE"));
    parser.addOptions({help, recursive, manifest, outputDir, paper, landscape, scale, noGridlines,
                       headings, pages, jobs, timeout, shard, skipExisting, freshOffice, report});
    parser.addPositionalArgument(QStringLiteral("SOURCE"),
                                 QStringLiteral("A workbook, or a folder whose .xls files are "
                                                "taken."),
                                 QStringLiteral("SOURCE..."));

    ParsedCommand parsed;
    if (!parser.parse(QStringList{QStringLiteral("quillmer-convert")} + arguments)) {
        parsed.refusal = parser.errorText();
        return parsed;
    }
    if (parser.isSet(help)) {
        parsed.help = parser.helpText();
        return parsed;
    }
    const auto refuse = [&](const QString& why) {
        parsed.refusal = why;
        return parsed;
    };

    CommandOptions o;
    o.sources.sources = parser.positionalArguments();
    o.sources.recursive = parser.isSet(recursive);
    o.sources.manifest = parser.value(manifest);
    o.sources.outputDir = parser.value(outputDir);
    o.sources.workingDir = workingDir;
    if (o.sources.sources.isEmpty() && o.sources.manifest.isEmpty())
        return refuse(QStringLiteral("no workbooks: give a SOURCE or --manifest FILE"));
    if (parser.isSet(outputDir) && o.sources.outputDir.isEmpty())
        return refuse(QStringLiteral("--output-dir takes a folder"));

    o.print.openAfterConversion = 0;
    const QString size = parser.value(paper);
    const auto known = std::find_if(PaperSizes.begin(), PaperSizes.end(), [&](const QString& p) {
        return p.compare(size, Qt::CaseInsensitive) == 0;
    });
    if (known == PaperSizes.end())
        return refuse(
            QStringLiteral("--paper takes A4, Legal, A5, Letter, B4 or B5, not '%1'").arg(size));
    o.print.paperSize = *known;
    o.print.landscape = parser.isSet(landscape);
    o.print.scale = parser.value(scale);
    o.print.showGridlines = parser.isSet(noGridlines) ? 0 : 1;
    o.print.showHeaders = parser.isSet(headings) ? 1 : 0;
    if (parser.isSet(pages)) {
        const QString range = parser.value(pages);
        const qsizetype dash = range.indexOf(u'-', 1);
        if (dash < 0)
            return refuse(QStringLiteral("--pages takes FROM-TO, as in 2-5"));
        o.print.allPages = false;
        o.print.firstPage = range.left(dash);
        o.print.lastPage = range.mid(dash + 1);
    }
    if (const auto refusal = windowRefusal(o.print))
        return refuse(*refusal);
    if (!o.print.allPages) {
        const auto from = wholeNumber(o.print.firstPage.trimmed());
        const auto to = wholeNumber(o.print.lastPage.trimmed());
        if (!from || !to || *from < 1 || *from > *to)
            return refuse(QStringLiteral("--pages takes whole page numbers from 1, FROM at most "
                                         "TO, as in 2-5"));
    }

    o.workers = QThread::idealThreadCount();
    if (parser.isSet(jobs)) {
        const auto n = wholeNumber(parser.value(jobs));
        if (!n || *n < 1)
            return refuse(QStringLiteral("--jobs takes a whole number of workers from 1"));
        o.workers = *n;
    }
    bool ok = false;
    const double seconds = parser.value(timeout).toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 86400)
        return refuse(QStringLiteral("--timeout takes a number of seconds above 0"));
    o.timeout = std::chrono::milliseconds(qint64(seconds * 1000));
    if (parser.isSet(shard)) {
        const QStringList parts = parser.value(shard).split(u'/');
        const auto k = wholeNumber(parts.value(0)), n = wholeNumber(parts.value(1));
        if (parts.size() != 2 || !k || !n || *n < 1 || *k >= *n)
            return refuse(QStringLiteral("--shard takes K/N, whole numbers with 0 <= K < N, as "
                                         "in 0/4"));
        o.shardIndex = k.value();
        o.shardCount = n.value();
    }
    o.skipExisting = parser.isSet(skipExisting);
    o.freshOffice = parser.isSet(freshOffice);
    o.report = parser.value(report);
    if (parser.isSet(report) && o.report.isEmpty())
        return refuse(QStringLiteral("--report takes a file"));
    parsed.options = o;
    return parsed;
}

} // namespace quillmer::cli
