#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillmer::cli {

// One workbook to convert and the PDF to write, both absolute and clean.
struct BatchJob
{
    QString source;
    QString target;

    friend bool operator==(const BatchJob&, const BatchJob&) = default;
};

// Where the jobs come from.
struct JobSources
{
    QStringList sources; // workbooks and folders, as given
    bool recursive = false;
    QString manifest;   // a CSV file of source,target rows; empty: none
    QString outputDir;  // empty: each target beside its source
    QString workingDir; // what relative paths are relative to
};

// The jobs of the sources, sorted by source and then target (code-unit
// order, the same on every machine). A workbook source is taken as it is;
// a folder gives its .xls files (any letter case; with recursive, those of
// every subfolder too, without following links to folders); a manifest
// gives its rows (paths relative to the manifest's folder; a header row
// "source,target" is skipped). A target is the manifest's, else
// outputDir/<name without ".xls">.pdf (below outputDir the subfolders of a
// folder source are kept), else the target the window proposes beside the
// source. The refusal, when any: a source that is neither a workbook nor a
// folder, a workbook or target with the wrong ending (the window's own
// messages), a malformed manifest, or two jobs with one target.
struct GatheredJobs
{
    QList<BatchJob> jobs;
    std::optional<QString> refusal;
};
GatheredJobs gatherJobs(const JobSources& sources);

// The jobs whose position in the list, modulo count, is index.
QList<BatchJob> shardOf(const QList<BatchJob>& jobs, int index, int count);

// Whether target exists and is newer than source, so that it may be kept.
bool targetIsCurrent(const BatchJob& job);

// The PDFs of the job that --skip-existing keeps: its target when it is
// current; for a job split by sheets, its sheets' files
// ("<target without .pdf>-*.pdf") when there are any and all are newer than
// the source. Empty: the job is to be done.
QStringList currentTargets(const BatchJob& job, bool splitSheets);

} // namespace quillmer::cli
