#pragma once

#include "cli/batch.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <cstdio>

namespace quillmer::cli {

// --report: one JSON object per line and job, written as each job ends, so
// that the file holds every job done even when the batch is stopped.
class JsonLinesReport final : public BatchObserver
{
public:
    // False, with the reason in error, when the file cannot be written.
    bool open(const QString& path, QString* error);
    void started(int) override {}
    void jobDone(const BatchJob& job, const JobOutcome& outcome) override;

    // The records of one job, one per PDF (one for a failure): source,
    // target, status, pages, seconds, office_peak_mb when known, sheet for
    // a split, and error on failure.
    static QByteArray record(const BatchJob& job, const JobOutcome& outcome);

private:
    QFile m_file;
};

// The terminal's view of the batch. On a terminal, a bar with done and
// total, failures, rate and time left, and a line above it for each
// failure; elsewhere one plain line per job. Then a summary line.
class ProgressOutput final : public BatchObserver
{
public:
    ProgressOutput(std::FILE* out, bool terminal);

    void started(int total) override;
    void jobDone(const BatchJob& job, const JobOutcome& outcome) override;
    void tick() override;
    void finished(const BatchSummary& summary);

    static QString statusWord(JobOutcome::Status status);

private:
    void print(const QString& text);
    void drawBar();

    std::FILE* m_out;
    bool m_terminal;
    int m_total = 0, m_done = 0, m_failed = 0, m_skipped = 0;
    QElapsedTimer m_clock;
    qint64 m_drawnAt = -1;
};

} // namespace quillmer::cli
