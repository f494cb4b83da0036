#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillmer::printqueue {

// Everything Quillmer says to Ghostscript on a command line: the flags
// every run starts with, the ps2write run of the printer queue, the pdfwrite
// runs of a conversion and the short questions asked beforehand. Where the
// executable is registered is in platform/registrynames.h. The runs
// themselves go through the caller's own process interface; this unit only
// spells them.
namespace ghostscript {

// The device a run writes with; None for a run that only computes (an
// answer in its exit code).
enum class Device
{
    None,
    PdfWrite,
    Ps2Write,
    PgmRaw,
    Jpeg
};

// The flags every run starts with: -q (quiet) when asked, -dSAFER, then
// -dNOPAUSE -dBATCH and the device, or -dNODISPLAY ahead of them for a run
// without one.
QStringList startFlags(Device device, bool quiet);

// A command text: the program directly followed by each argument after one
// space, as the command runner splits it (arguments with spaces must come
// quoted()).
QString commandText(const QString& program, const QStringList& arguments);
// text in double quotes, for a command text.
QString quoted(const QString& text);

// How the printer queue's run reads its spool.
struct SpoolReading
{
    // Every page drawn as if it had no transparency (-dNOTRANSPARENCY).
    bool dropTransparency = false;
    // Pages with transparency drawn as pictures, ps2write's own way, at a
    // printer's 300 dpi (-r300): at the device's 720 dpi such a sheet takes
    // minutes. Otherwise the device keeps its 720 dpi, which is also the grid
    // its coordinates are rounded to: at 300 dpi a line of text could move
    // by a quarter of a point.
    bool transparencyAsPictures = false;
    // The spool read by Ghostscript's older PDF interpreter (-dNEWPDF=false).
    // Ghostscript 10.0's newer one passes on at most one UTF-16 unit of a
    // character code's Unicode value, and garbles longer ones (a ligature's
    // "ffi", a letter with a combining mark); the older one keeps them. It
    // reads some spools two to three times slower, so only spools whose
    // values the queue cannot carry over itself take it
    // (printqueue/charactermaps.h).
    bool olderInterpreter = false;
    bool operator==(const SpoolReading&) const = default;
};

// The printer queue's run, as a program's argument list: spoolPdf as
// PostScript into outputFile, read as reading says, the fonts' Unicode maps
// kept (WantsToUnicode), and documentSetup, PostScript put into the file's
// set-up section (the distiller parameter PSDocOptions).
QStringList ps2writeArguments(const QString& spoolPdf, const QString& outputFile,
                              const QByteArray& documentSetup, SpoolReading reading = {});

// A grey picture of every page of pdf, as binary PGM images one after the
// other on standard output, at resolution dpi, with or without transparency.
// Pictures are smoothed (DOINTERPOLATE), as a viewer draws them: at a low
// resolution a picture's thin lines would otherwise come and go with the
// sampling.
QStringList greyPagesArguments(const QString& pdf, int resolution, bool dropTransparency);

// Page page of pdf as a JPEG on standard output, at resolution dpi, with
// smooth edges.
QStringList pagePictureArguments(const QString& pdf, int page, int resolution);

// The pages a pdfwrite run cuts, as the texts of -dFirstPage and -dLastPage.
struct PageTexts
{
    QString first;
    QString last;
};

// A conversion run, as a command text with the paths in double quotes:
// input into output at compatibility level 1.4, only the pages given (when
// given). setPdfWrite asks for ".setpdfwrite", which Ghostscript removed in
// 9.54; without it the text carries its documented replacement,
// "3000000 setvmthreshold".
QString pdfwriteCommand(const QString& gsPath, const QString& input, const QString& output,
                        const std::optional<PageTexts>& pages, bool setPdfWrite);

// A question without a device: the quiet start flags, then operands as
// they stand.
QString questionCommand(const QString& gsPath, const QStringList& operands);

// What is left of a run's output: a run that did not end on its own with
// exit code 0 failed, and the file it was writing is removed (Ghostscript
// leaves a blank or half-written one behind). Returns succeeded.
bool keepOutputOf(bool succeeded, const QString& outputFile);

} // namespace ghostscript

} // namespace quillmer::printqueue
