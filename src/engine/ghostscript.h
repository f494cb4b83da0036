#pragma once

#include "engine/commandrunner.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

namespace quillmer {

// What the installed Ghostscript answered about itself: whether it defines
// ".setpdfwrite". Asked once per executable (a replaced file is asked again)
// and remembered; true, not remembered, when it cannot be asked (it does not
// start). The question costs a Ghostscript start, so the program asks it
// ahead, while nothing waits for it. askAhead() and definesSetPdfWrite() are
// called from one thread; the question asked ahead runs on one of its own.
class GhostscriptAnswers
{
public:
    GhostscriptAnswers() = default;
    // Waits for a question still under way.
    ~GhostscriptAnswers();
    GhostscriptAnswers(const GhostscriptAnswers&) = delete;
    GhostscriptAnswers& operator=(const GhostscriptAnswers&) = delete;

    // Asks gsPath through runner on a thread of its own and returns at once.
    // runner is used by that thread alone until the answer is in.
    void askAhead(CommandRunner& runner, const QString& gsPath);
    // The answer for gsPath: remembered, or being asked ahead (waited for),
    // or else asked now through runner.
    bool definesSetPdfWrite(CommandRunner& runner, const QString& gsPath);

private:
    struct Answer
    {
        QDateTime modified;
        qint64 size = 0;
        bool defines = false;
    };
    std::optional<bool> remembered(const QString& gsPath);
    // The remembered answer, or the question asked now.
    bool answer(CommandRunner& runner, const QString& gsPath);

    std::mutex m_mutex;
    QHash<QString, Answer> m_answers;
    std::future<void> m_ahead;
};

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
    // answers: shared with whoever asks ahead; none gives the runs answers
    // of their own.
    explicit GhostscriptRuns(CommandRunner& runner, GhostscriptAnswers* answers = nullptr);

    // The first run: the print file into PdfFile.pdf (all pages) or into
    // PdfFiletemp.pdf (a page range, cut by the second run).
    static QString firstRunCommand(const QString& gsPath, const QString& scratch, bool allPages,
                                   bool setPdfWrite);
    // The second run: pages first..last of PdfFiletemp.pdf into PdfFile.pdf.
    // The page texts are inserted as they stand, without white space around them.
    static QString secondRunCommand(const QString& gsPath, const QString& scratch,
                                    const QString& firstPage, const QString& lastPage,
                                    bool setPdfWrite);

    // Whether the Ghostscript at gsPath defines ".setpdfwrite" (see
    // GhostscriptAnswers).
    bool definesSetPdfWrite(const QString& gsPath)
    {
        return m_answers->definesSetPdfWrite(m_runner, gsPath);
    }

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
    CommandRunner& m_runner;
    std::unique_ptr<GhostscriptAnswers> m_ownAnswers;
    GhostscriptAnswers* m_answers;
};

} // namespace quillmer
