#include "cli/batchjobs.h"

#include "cli/manifest.h"
#include "jobs/selection.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <dirent.h>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace quillmer::cli {

namespace {

const QString Xls = QStringLiteral(".xls");
const QString Pdf = QStringLiteral(".pdf");

QString absolute(const QString& path, const QString& base)
{
    return QDir::cleanPath(QDir(base).absoluteFilePath(path));
}

// The name a target takes below the output folder: ".xls" (any case)
// becomes ".pdf".
QString pdfName(const QString& relativeSource)
{
    return relativeSource.left(relativeSource.size() - Xls.size()) + Pdf;
}

QString quotedPath(const QString& path)
{
    return QStringLiteral("'%1'").arg(QDir::toNativeSeparators(path));
}

// The first workbook below folder (or folder, when recursive) whose name is
// not UTF-8 text, which the program's paths cannot carry: a folder's listing
// leaves it out without a word. Empty when there is none.
QByteArray unreadableName(const QByteArray& folder, bool recursive)
{
    DIR* listing = ::opendir(folder.constData());
    if (!listing)
        return {};
    QByteArray found;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat st;
        if (::lstat(path.constData(), &st) != 0)
            continue;
        const bool isDir = S_ISDIR(st.st_mode);
        if (QFile::encodeName(QFile::decodeName(name)) != name) {
            if ((S_ISREG(st.st_mode) && name.toLower().endsWith(".xls")) || (recursive && isDir)) {
                found = path;
                break;
            }
        } else if (recursive && isDir) {
            found = unreadableName(path, true);
            if (!found.isEmpty())
                break;
        }
    }
    ::closedir(listing);
    return found;
}

// The target of a source; relative: its path below its folder source, or
// its name.
using TargetFor = std::function<QString(const QString& source, const QString& relative)>;
using Refusal = std::optional<QString>;

// The jobs of one workbook or folder given on the command line.
Refusal addSource(const QString& given, const JobSources& s, const TargetFor& targetFor,
                  QList<BatchJob>& jobs)
{
    const QString path = absolute(given, s.workingDir);
    const QFileInfo info(path);
    if (info.isDir()) {
        const QByteArray unreadable = unreadableName(QFile::encodeName(path), s.recursive);
        if (!unreadable.isEmpty())
            return quotedPath(QFile::decodeName(unreadable)) +
                   QStringLiteral(": the name is not UTF-8 text and cannot be read; rename it");
        // The name filter takes ".xls" in any letter case.
        QDirIterator it(path, {QStringLiteral("*.xls")}, QDir::Files,
                        s.recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
        while (it.hasNext()) {
            const QString file = QDir::cleanPath(it.next());
            jobs.append({file, targetFor(file, QDir(path).relativeFilePath(file))});
        }
        return std::nullopt;
    }
    if (!info.isFile())
        return quotedPath(given) + QStringLiteral(" is neither a workbook nor a folder");
    if (!SourceTargetSelection::hasExtension(path, Xls))
        return quotedPath(given) + QStringLiteral(": ") +
               SourceTargetSelection::invalidSourceMessage();
    jobs.append({path, targetFor(path, info.fileName())});
    return std::nullopt;
}

// The jobs of the manifest's rows.
Refusal addManifest(const JobSources& s, const TargetFor& targetFor, QList<BatchJob>& jobs)
{
    const QString manifest = absolute(s.manifest, s.workingDir);
    const QString base = QFileInfo(manifest).absolutePath();
    QFile file(manifest);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the manifest %1 cannot be read (%2)")
            .arg(quotedPath(s.manifest), file.errorString());
    QString error;
    QList<CsvRecord> records = readCsv(file.readAll(), &error);
    if (!error.isEmpty())
        return QStringLiteral("the manifest %1, %2").arg(quotedPath(s.manifest), error);
    if (!records.isEmpty() && records.first().fields.size() == 2 &&
        records.first().fields[0].trimmed().compare(u"source", Qt::CaseInsensitive) == 0 &&
        records.first().fields[1].trimmed().compare(u"target", Qt::CaseInsensitive) == 0)
        records.removeFirst();
    for (const CsvRecord& r : records) {
        const QString where =
            QStringLiteral("the manifest %1, line %2: ").arg(quotedPath(s.manifest)).arg(r.line);
        if (r.fields.size() > 2 || r.fields[0].isEmpty())
            return where + QStringLiteral("a row is source,target (the target may be left out)");
        const QString source = absolute(r.fields[0], base);
        if (!SourceTargetSelection::hasExtension(source, Xls))
            return where + quotedPath(r.fields[0]) + QStringLiteral(": ") +
                   SourceTargetSelection::invalidSourceMessage();
        const QString target = r.fields.value(1);
        if (target.isEmpty()) {
            jobs.append({source, targetFor(source, QFileInfo(source).fileName())});
            continue;
        }
        if (!SourceTargetSelection::hasExtension(target, Pdf))
            return where + quotedPath(target) + QStringLiteral(": ") +
                   SourceTargetSelection::invalidTargetMessage();
        jobs.append({source, absolute(target, base)});
    }
    return std::nullopt;
}

// Sorts the jobs by source, then target; a target that two jobs write is
// refused.
Refusal sortAndCheck(QList<BatchJob>& jobs)
{
    std::sort(jobs.begin(), jobs.end(), [](const BatchJob& a, const BatchJob& b) {
        return a.source != b.source ? a.source < b.source : a.target < b.target;
    });
    QHash<QString, QString> sourceOf;
    for (const BatchJob& job : jobs) {
        const auto known = sourceOf.constFind(job.target);
        if (known != sourceOf.constEnd())
            return QStringLiteral("two jobs write %1: %2 and %3")
                .arg(quotedPath(job.target), quotedPath(*known), quotedPath(job.source));
        sourceOf.insert(job.target, job.source);
    }
    return std::nullopt;
}

} // namespace

GatheredJobs gatherJobs(const JobSources& s)
{
    const QString outputDir =
        s.outputDir.isEmpty() ? QString() : absolute(s.outputDir, s.workingDir);
    const TargetFor targetFor = [&](const QString& source, const QString& relative) {
        return outputDir.isEmpty() ? SourceTargetSelection::proposedTarget(source)
                                   : QDir::cleanPath(outputDir + u'/' + pdfName(relative));
    };
    GatheredJobs out;
    for (const QString& given : s.sources)
        if ((out.refusal = addSource(given, s, targetFor, out.jobs)))
            break;
    if (!out.refusal && !s.manifest.isEmpty())
        out.refusal = addManifest(s, targetFor, out.jobs);
    if (!out.refusal)
        out.refusal = sortAndCheck(out.jobs);
    if (out.refusal)
        out.jobs.clear();
    return out;
}

QList<BatchJob> shardOf(const QList<BatchJob>& jobs, int index, int count)
{
    QList<BatchJob> share;
    for (qsizetype i = index; i < jobs.size(); i += count)
        share << jobs[i];
    return share;
}

bool targetIsCurrent(const BatchJob& job)
{
    const QFileInfo target(job.target);
    return target.isFile() && target.lastModified() > QFileInfo(job.source).lastModified();
}

QStringList currentTargets(const BatchJob& job, bool splitSheets)
{
    if (!splitSheets)
        return targetIsCurrent(job) ? QStringList{job.target} : QStringList();
    const QFileInfo target(job.target);
    const QString prefix = target.completeBaseName() + u'-';
    const QDateTime source = QFileInfo(job.source).lastModified();
    QStringList kept;
    for (const QFileInfo& file : target.dir().entryInfoList(QDir::Files, QDir::Name)) {
        if (!file.fileName().startsWith(prefix) || !file.fileName().endsWith(Pdf))
            continue;
        if (file.lastModified() <= source)
            return {};
        kept << file.absoluteFilePath();
    }
    return kept;
}

} // namespace quillmer::cli
