#pragma once

#include "engine/commandrunner.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <optional>

namespace quillmer {

// The Ghostscript runs of one conversion: the command texts, the way they
// are run, and what is asked of Ghostscript around them.
//
// The command texts (spelled by platform/ghostscriptcommand.h) are the
// Ghostscript path directly followed by the argument text, with the scratch
// folder paths in double quotes. They ask
// for ".setpdfwrite", which Ghostscript removed in 9.54: a Ghostscript
// without it stops with /undefined, exits 1 and leaves a blank one-page PDF.
// For such a Ghostscript the texts carry its documented replacement,
// "-c 3000000 setvmthreshold -f", in place of "-c .setpdfwrite -f"; every
// other character stays the same.
class GhostscriptRuns
{
public:
    explicit GhostscriptRuns(CommandRunner& runner);

    // The first run: the print file into PdfFile.pdf (all pages) or into
    // PdfFiletemp.pdf (a page range, cut by the second run).
    static QString firstRunCommand(const QString& gsPath, const QString& scratch, bool allPages,
                                   bool setPdfWrite);
    // The second run: pages first..last of PdfFiletemp.pdf into PdfFile.pdf.
    // The page texts are inserted as they stand, without white space around them.
    static QString secondRunCommand(const QString& gsPath, const QString& scratch,
                                    const QString& firstPage, const QString& lastPage,
                                    bool setPdfWrite);

    // Whether the Ghostscript at gsPath defines ".setpdfwrite". Asked once
    // per executable (a replaced file is asked again) and remembered; true,
    // not remembered, when it cannot be asked (it does not start).
    bool definesSetPdfWrite(const QString& gsPath);

    // The two conversion runs, made with the design's arguments: the scratch
    // folder as working folder, no time limit, hidden, high priority. True
    // when the command started. A run that started but did not end with exit
    // code 0 failed, and outputFile, the file it was writing, is removed, so
    // that a half-written or blank PDF never passes for a good one.
    bool run(const QString& commandLine, const QString& scratch, const QString& outputFile);

    // Whether pages firstPage..lastPage (the page texts of the second run)
    // hold no page of pdf: the range is empty, or starts past its last page.
    // Ghostscript then cuts nothing and writes a blank page instead. False
    // when the texts are not whole numbers (Ghostscript itself refuses them)
    // or the page count cannot be asked.
    bool rangeIsEmpty(const QString& gsPath, const QString& pdf, const QString& scratch,
                      const QString& firstPage, const QString& lastPage);

private:
    struct Answer
    {
        QDateTime modified;
        qint64 size = 0;
        bool defines = false;
    };

    // Runs an auxiliary question; its exit code, or nothing when it did not
    // start or end normally.
    std::optional<int> ask(const QString& commandLine, const QString& workingFolder);

    CommandRunner& m_runner;
    QHash<QString, Answer> m_answers;
};

} // namespace quillmer
