#include "cli/output.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillmer::cli {

namespace {

QString duration(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    if (s < 60)
        return QStringLiteral("%1s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1m%2s").arg(s / 60).arg(s % 60, 2, 10, QChar(u'0'));
    return QStringLiteral("%1h%2m").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar(u'0'));
}

int terminalColumns(std::FILE* out)
{
    winsize size{};
    return ::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 20 ? size.ws_col : 80;
}

} // namespace

bool JsonLinesReport::open(const QString& path, QString* error)
{
    m_file.setFileName(path);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    if (error)
        *error = m_file.errorString();
    return false;
}

QByteArray JsonLinesReport::record(const BatchJob& job, const JobOutcome& outcome)
{
    const auto line = [&](const QString& target, int pages, const QString& sheet) {
        QJsonObject o{{QStringLiteral("source"), job.source},
                      {QStringLiteral("target"), target},
                      {QStringLiteral("status"), ProgressOutput::statusWord(outcome.status)},
                      {QStringLiteral("pages"), pages},
                      {QStringLiteral("seconds"), qRound(outcome.seconds * 100) / 100.0}};
        if (!sheet.isEmpty())
            o.insert(QStringLiteral("sheet"), sheet);
        if (outcome.officePeakMb >= 0)
            o.insert(QStringLiteral("office_peak_mb"), outcome.officePeakMb);
        if (outcome.status == JobOutcome::Status::Failed)
            o.insert(QStringLiteral("error"), outcome.error);
        return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    };
    if (outcome.status == JobOutcome::Status::Failed || outcome.pdfs.isEmpty())
        return line(job.target, outcome.pages, QString());
    QByteArray lines;
    for (const JobOutcome::Pdf& pdf : outcome.pdfs)
        lines += line(pdf.target, pdf.pages, pdf.sheet);
    return lines;
}

void JsonLinesReport::jobDone(const BatchJob& job, const JobOutcome& outcome)
{
    m_file.write(record(job, outcome));
    m_file.flush();
}

ProgressOutput::ProgressOutput(std::FILE* out, bool terminal) : m_out(out), m_terminal(terminal) {}

QString ProgressOutput::statusWord(JobOutcome::Status status)
{
    switch (status) {
    case JobOutcome::Status::Converted:
        return QStringLiteral("converted");
    case JobOutcome::Status::Skipped:
        return QStringLiteral("skipped");
    case JobOutcome::Status::Failed:
        break;
    }
    return QStringLiteral("failed");
}

void ProgressOutput::print(const QString& text)
{
    if (m_terminal)
        std::fputs("\r\033[K", m_out);
    std::fputs(text.toLocal8Bit().constData(), m_out);
    std::fputc('\n', m_out);
    if (m_terminal)
        drawBar();
    std::fflush(m_out);
}

void ProgressOutput::started(int total)
{
    m_total = total;
    m_clock.start();
    if (m_terminal)
        drawBar();
}

void ProgressOutput::jobDone(const BatchJob& job, const JobOutcome& outcome)
{
    ++m_done;
    m_failed += outcome.status == JobOutcome::Status::Failed;
    m_skipped += outcome.status == JobOutcome::Status::Skipped;
    const QString source = QDir::toNativeSeparators(job.source);
    const QString count = QStringLiteral("[%1/%2]").arg(m_done).arg(m_total);
    if (outcome.status == JobOutcome::Status::Failed) {
        print(QStringLiteral("%1 failed %2: %3").arg(count, source, outcome.error));
    } else if (!m_terminal) {
        const QString target =
            outcome.pdfs.size() > 1
                ? QStringLiteral("%1 PDFs").arg(outcome.pdfs.size())
                : QDir::toNativeSeparators(outcome.pdfs.isEmpty() ? job.target
                                                                  : outcome.pdfs[0].target);
        print(QStringLiteral("%1 %2 %3 -> %4 (%5 %6, %7 s)")
                  .arg(count, statusWord(outcome.status), source, target)
                  .arg(outcome.pages)
                  .arg(outcome.pages == 1 ? QStringLiteral("page") : QStringLiteral("pages"))
                  .arg(outcome.seconds, 0, 'f', 1));
    } else {
        drawBar();
    }
}

void ProgressOutput::tick()
{
    // The rate and the time left change with the clock as well.
    if (m_terminal && m_clock.elapsed() - m_drawnAt >= 1000)
        drawBar();
}

void ProgressOutput::drawBar()
{
    m_drawnAt = m_clock.elapsed();
    const double minutes = m_clock.elapsed() / 60000.0;
    const int converted = m_done - m_skipped; // the skipped cost nothing
    const double rate = minutes > 0 ? converted / minutes : 0;
    const QString left = rate > 0
                             ? duration((m_total - m_done) / rate * 60) + QStringLiteral(" left")
                             : QStringLiteral("--");
    const QString tail = QStringLiteral(" %1/%2  %3 failed  %4/min  %5")
                             .arg(m_done)
                             .arg(m_total)
                             .arg(m_failed)
                             .arg(rate, 0, 'f', 1)
                             .arg(left);
    const int width = qBound(10, terminalColumns(m_out) - int(tail.size()) - 3, 50);
    const int filled = m_total > 0 ? width * m_done / m_total : width;
    const QString bar = QStringLiteral("[") + QString(filled, u'#') +
                        QString(width - filled, u'.') + QStringLiteral("]");
    std::fputs(("\r\033[K" + bar + tail).toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
}

void ProgressOutput::finished(const BatchSummary& s)
{
    if (m_terminal)
        std::fputs("\r\033[K", m_out);
    QString line = QStringLiteral("%1 jobs in %2: %3 converted, %4 failed, %5 skipped")
                       .arg(m_total)
                       .arg(duration(m_clock.elapsed() / 1000.0))
                       .arg(s.converted)
                       .arg(s.failed)
                       .arg(s.skipped);
    if (s.notDone > 0)
        line += QStringLiteral(", %1 not done").arg(s.notDone);
    if (s.signal)
        line += QStringLiteral(" (stopped by %1)")
                    .arg(s.signal == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM"));
    std::fputs(line.toLocal8Bit().constData(), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

} // namespace quillmer::cli
