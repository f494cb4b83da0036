#include "cli/commandoptions.h"

#include "engine/printstep.h"
#include "frontend/batchrun.h"
#include "frontend/optionrules.h"
#include "office/papersizes.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

namespace quillmer::cli {

namespace {

const char* const Description =
    "Converts .xls workbooks to PDF files with LibreOffice, several at a time.\n"
    "\n"
    "  road                       makes the PDF with             page set-up written\n"
    "  export (default)           the office's own PDF export    only what an option asks,\n"
    "                                                            on every sheet that prints\n"
    "  --road print               PostScript, then Ghostscript   the same\n"
    "  --as-window                as --road print                the window's: A4, portrait,\n"
    "                                                            100 %, gridlines, on the\n"
    "                                                            first sheet only\n"
    "\n"
    "Without an option every sheet keeps its own page set-up (paper, orientation,\n"
    "scale or fit to pages, print areas and titles, gridlines, headings), and the\n"
    "PDF is the office's own export. With --sheets, --split-sheets,\n"
    "--one-page-per-sheet or a page set-up option, exactly the visible sheets, or\n"
    "those named, print: a hidden sheet only when --sheets names it.\n"
    "\n"
    "Exit code: 0 when every job converted or was skipped, 1 when any failed, 2 for a\n"
    "usage error (nothing is converted then).";

struct Options
{
    using O = QCommandLineOption;
    static QString s(const char* text) { return QString::fromUtf8(text); }

    O help{{s("h"), s("help")}, s("Shows this help.")};
    O recursive{s("recursive"), s("Also takes the .xls files of the subfolders of a folder "
                                  "SOURCE.")};
    O manifest{s("manifest"),
               s("Reads jobs from a CSV file (RFC 4180, UTF-8) with the columns source,target; "
                 "relative paths are relative to its folder; an empty target is named as for a "
                 "SOURCE."),
               s("FILE")};
    O outputDir{{s("o"), s("output-dir")},
                s("Writes each target as DIR/<name without .xls>.pdf, keeping the subfolders of "
                  "a folder SOURCE. Without it, each target goes beside its source, named as the "
                  "window proposes."),
                s("DIR")};
    O road{s("road"),
           s("export (default): the office's own PDF export; print: PostScript and "
             "Ghostscript, as the window."),
           s("ROAD")};
    O asWindow{s("as-window"), s("The window's conversion: the print road, the window's "
                                 "defaults, the page set-up written on the first sheet only.")};
    O paper{s("paper"),
            s("Paper size of every printed sheet: %1 (with --as-window A4 by default).")
                .arg(office::paperSizeChoice()),
            s("SIZE")};
    O landscape{s("landscape"), s("Prints every printed sheet in landscape.")};
    O portrait{s("portrait"), s("Prints every printed sheet in portrait.")};
    O scale{s("scale"), s("Scale in per cent, 10 to 400 (with --as-window 100 by default)."),
            s("N")};
    O fit{s("fit"),
          s("Fits every printed sheet to W pages wide and H tall; 0 is as many as "
            "needed, H is 0 when left out (1x0: one page wide)."),
          s("W[xH]")};
    O onePage{s("one-page-per-sheet"), s("Each sheet on one page of its own size.")};
    O gridlines{s("gridlines"), s("Prints the gridlines (on by default with --as-window).")};
    O noGridlines{s("no-gridlines"), s("Prints no gridlines.")};
    O headings{s("headings"), s("Prints the row and column headings.")};
    O noHeadings{s("no-headings"), s("Prints no row and column headings.")};
    O pages{s("pages"),
            s("Keeps only the pages FROM to TO of what prints, numbered from 1 as in "
              "the whole printed document, also with --split-sheets (default: all "
              "pages)."),
            s("FROM-TO")};
    O sheets{s("sheets"),
             s("Prints only these sheets: 1-based numbers, names or ranges such as "
               "2-4, separated by commas; a name may be in double quotes. A hidden "
               "sheet prints when it is named; a sheet the workbook lacks fails its "
               "job."),
             s("LIST")};
    O split{s("split-sheets"), s("Writes one PDF per printed sheet, <target without "
                                 ".pdf>-<sheet name>.pdf.")};
    O pdfa{s("pdfa"),
           s("Writes PDF/A: 1b, 2b or 3b (for 1b the office writes PDF/A-1a, which "
             "keeps the rules of 1b as well)."),
           s("LEVEL")};
    O passwordFile{s("password-file"),
                   s("The open password of encrypted workbooks: the first "
                     "line of FILE. Without it such a workbook fails."),
                   s("FILE")};
    O jobs{{s("j"), s("jobs")},
           s("Number of parallel workers (default: the number of cores)."),
           s("N")};
    O timeout{s("timeout"),
              s("Each job's limit in seconds (default 120); past it, the job's "
                "office is killed and the job fails."),
              s("SECONDS"), s("120")};
    O shard{s("shard"),
            s("Takes only the jobs whose position in the sorted job list, modulo N, "
              "is K (0 <= K < N)."),
            s("K/N")};
    O skipExisting{s("skip-existing"), s("Keeps a target that is newer than its source, so an "
                                         "interrupted batch can be resumed.")};
    O freshOffice{s("fresh-office"), s("Gives every job an office instance of its own, as the "
                                       "window does.")};
    O report{s("report"),
             s("Writes one JSON line per PDF: source, target, status (converted, "
               "failed, skipped), pages, seconds, office_peak_mb, sheet with "
               "--split-sheets, and error on failure."),
             s("FILE")};

    QList<O> all() const
    {
        return {help,      recursive,  manifest, outputDir,    road,        asWindow,  paper,
                landscape, portrait,   scale,    fit,          onePage,     gridlines, noGridlines,
                headings,  noHeadings, pages,    sheets,       split,       pdfa,      passwordFile,
                jobs,      timeout,    shard,    skipExisting, freshOffice, report};
    }
};

std::optional<int> wholeNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toInt();
}

QString both(const QCommandLineOption& a, const QCommandLineOption& b)
{
    return QStringLiteral("--%1 and --%2 cannot be given together")
        .arg(a.names().constLast(), b.names().constLast());
}

// The first pair of options given together that contradict each other.
std::optional<QString> contradiction(const QCommandLineParser& p, const Options& o)
{
    const std::pair<const QCommandLineOption*, const QCommandLineOption*> pairs[] = {
        {&o.landscape, &o.portrait},   {&o.gridlines, &o.noGridlines},
        {&o.headings, &o.noHeadings},  {&o.scale, &o.fit},
        {&o.fit, &o.onePage},          {&o.scale, &o.onePage},
        {&o.asWindow, &o.road},        {&o.asWindow, &o.fit},
        {&o.asWindow, &o.onePage},     {&o.asWindow, &o.sheets},
        {&o.asWindow, &o.split},       {&o.asWindow, &o.pdfa},
        {&o.asWindow, &o.passwordFile}};
    for (const auto& [a, b] : pairs)
        if (p.isSet(*a) && p.isSet(*b) &&
            !(a == &o.asWindow && b == &o.road && p.value(o.road) == QLatin1String("print")))
            return both(*a, *b);
    if (p.value(o.road) == QLatin1String("print"))
        for (const QCommandLineOption* b : {&o.pdfa, &o.onePage})
            if (p.isSet(*b))
                return both(o.road, *b) + QStringLiteral(": only the office's export does that");
    return std::nullopt;
}

// The page set-up, the pages and the scale, into the request or, with
// --as-window, into the window's options; a refusal or nothing.
std::optional<QString> readPrint(const QCommandLineParser& p, const Options& o, CommandOptions& c)
{
    ConversionOptions& w = c.print; // the window's, checked as the window checks them
    w.openAfterConversion = 0;
    PageSetupOverrides& s = c.request.pageSetup;
    if (p.isSet(o.paper)) {
        const office::PaperSize* known =
            office::paperSizeNamed(p.value(o.paper), Qt::CaseInsensitive);
        if (!known)
            return QStringLiteral("--paper takes %1, not '%2'")
                .arg(office::paperSizeChoice(), p.value(o.paper));
        w.paperSize = QLatin1String(known->name);
        s.paperSize = known->number;
    }
    if (p.isSet(o.landscape) || p.isSet(o.portrait))
        s.landscape = w.landscape = p.isSet(o.landscape);
    if (p.isSet(o.gridlines) || p.isSet(o.noGridlines)) {
        s.gridlines = p.isSet(o.gridlines);
        w.showGridlines = *s.gridlines ? 1 : 0;
    }
    if (p.isSet(o.headings) || p.isSet(o.noHeadings)) {
        s.headings = p.isSet(o.headings);
        w.showHeaders = *s.headings ? 1 : 0;
    }
    if (p.isSet(o.scale))
        w.scale = p.value(o.scale);
    if (p.isSet(o.pages)) {
        const QString range = p.value(o.pages);
        const qsizetype dash = range.indexOf(u'-', 1);
        if (dash < 0)
            return QStringLiteral("--pages takes FROM-TO, as in 2-5");
        w.allPages = false;
        w.firstPage = range.left(dash);
        w.lastPage = range.mid(dash + 1);
    }
    if (const auto refusal = windowRefusal(w))
        return refusal;
    if (!w.allPages) {
        const auto from = wholeNumber(w.firstPage.trimmed());
        const auto to = wholeNumber(w.lastPage.trimmed());
        if (!from || !to || *from < 1 || *from > *to)
            return QStringLiteral("--pages takes whole page numbers from 1, FROM at most TO, as "
                                  "in 2-5");
        c.request.pages = std::pair(*from, *to);
    }
    if (p.isSet(o.scale))
        s.zoom = TextToInteger16(w.scale);
    if (p.isSet(o.fit)) {
        static const QRegularExpression fit(QStringLiteral("^(\\d{1,4})(?:[xX](\\d{1,4}))?$"));
        const auto m = fit.match(p.value(o.fit));
        const int wide = m.captured(1).toInt(), tall = m.captured(2).toInt();
        if (!m.hasMatch() || (wide == 0 && tall == 0))
            return QStringLiteral("--fit takes W or WxH, pages wide and tall, 0 for as many as "
                                  "needed but not both, as in 1x0");
        s.fit = std::pair(wide, tall);
    }
    return std::nullopt;
}

// The sheets, the roads' own options and the password; a refusal or nothing.
std::optional<QString> readRequest(const QCommandLineParser& p, const Options& o,
                                   const QString& workingDir, CommandRequest& r)
{
    const QString road = p.value(o.road);
    if (p.isSet(o.road) && road != QLatin1String("export") && road != QLatin1String("print"))
        return QStringLiteral("--road takes export or print, not '%1'").arg(road);
    r.road = road == QLatin1String("print") || p.isSet(o.asWindow) ? ConversionRoad::Print
                                                                   : ConversionRoad::Export;
    if (p.isSet(o.sheets)) {
        QString error;
        r.sheets = parseSheetList(p.value(o.sheets), &error);
        if (!r.sheets)
            return QStringLiteral("--sheets: %1").arg(error);
    }
    r.splitSheets = p.isSet(o.split);
    r.onePagePerSheet = p.isSet(o.onePage);
    if (p.isSet(o.pdfa)) {
        static const QStringList levels{QStringLiteral("1b"), QStringLiteral("2b"),
                                        QStringLiteral("3b")};
        r.pdfA = int(levels.indexOf(p.value(o.pdfa).toLower())) + 1;
        if (r.pdfA == 0)
            return QStringLiteral("--pdfa takes 1b, 2b or 3b, not '%1'").arg(p.value(o.pdfa));
    }
    if (p.isSet(o.passwordFile)) {
        // Read once, here; the password goes nowhere but to the office.
        QFile file(QDir(workingDir).absoluteFilePath(p.value(o.passwordFile)));
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("the password file '%1' cannot be read (%2)")
                .arg(p.value(o.passwordFile), file.errorString());
        QByteArray line = file.readLine(4096);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        r.password = QString::fromUtf8(line);
    }
    return std::nullopt;
}

// The workers, the time limit, the shard and the report; a refusal or nothing.
std::optional<QString> readBatch(const QCommandLineParser& p, const Options& o, CommandOptions& c)
{
    c.workers = QThread::idealThreadCount();
    if (p.isSet(o.jobs)) {
        const auto n = wholeNumber(p.value(o.jobs));
        if (!n || *n < 1)
            return QStringLiteral("--jobs takes a whole number of workers from 1");
        c.workers = *n;
    }
    bool ok = false;
    const double seconds = p.value(o.timeout).toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 86400)
        return QStringLiteral("--timeout takes a number of seconds above 0");
    c.timeout = std::chrono::milliseconds(qint64(seconds * 1000));
    if (p.isSet(o.shard)) {
        const QStringList parts = p.value(o.shard).split(u'/');
        const auto k = wholeNumber(parts.value(0)), n = wholeNumber(parts.value(1));
        if (parts.size() != 2 || !k || !n || *n < 1 || *k >= *n)
            return QStringLiteral("--shard takes K/N, whole numbers with 0 <= K < N, as in 0/4");
        c.shardIndex = k.value();
        c.shardCount = n.value();
    }
    c.skipExisting = p.isSet(o.skipExisting);
    c.freshOffice = p.isSet(o.freshOffice);
    c.report = p.value(o.report);
    if (p.isSet(o.report) && c.report.isEmpty())
        return QStringLiteral("--report takes a file");
    return std::nullopt;
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
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const Options o;
    parser.addOptions(o.all());
    parser.addPositionalArgument(QStringLiteral("SOURCE"),
                                 QStringLiteral("A workbook, or a folder whose .xls files are "
                                                "taken."),
                                 QStringLiteral("SOURCE..."));

    ParsedCommand parsed;
    if (!parser.parse(QStringList{QStringLiteral("quillmer-convert")} + arguments)) {
        parsed.refusal = parser.errorText();
        return parsed;
    }
    if (parser.isSet(o.help)) {
        parsed.help = parser.helpText();
        return parsed;
    }
    CommandOptions c;
    c.sources = {parser.positionalArguments(), parser.isSet(o.recursive), parser.value(o.manifest),
                 parser.value(o.outputDir), workingDir};
    std::optional<QString> refusal;
    if (c.sources.sources.isEmpty() && c.sources.manifest.isEmpty())
        refusal = QStringLiteral("no workbooks: give a SOURCE or --manifest FILE");
    else if (parser.isSet(o.outputDir) && c.sources.outputDir.isEmpty())
        refusal = QStringLiteral("--output-dir takes a folder");
    if (!refusal)
        refusal = contradiction(parser, o);
    if (!refusal)
        refusal = readPrint(parser, o, c);
    if (!refusal)
        refusal = readRequest(parser, o, workingDir, c.request);
    if (!refusal)
        refusal = readBatch(parser, o, c);
    c.asWindow = parser.isSet(o.asWindow);
    if (refusal)
        parsed.refusal = *refusal;
    else
        parsed.options = c;
    return parsed;
}

} // namespace quillmer::cli
