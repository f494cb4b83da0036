// Files and folders dropped on the job list.
#include "jobs/jobdrop.h"

#include "errors/trap.h"
#include "jobs/jobhandlers.h"
#include "jobs/selection.h"

#include <QDir>
#include <QFileInfo>

namespace quillmer {

namespace {

QString names(const QStringList& files)
{
    QString text = files.mid(0, DropSummary::NamesShown).join(QStringLiteral(", "));
    if (files.size() > DropSummary::NamesShown)
        text += QStringLiteral(" and %1 more").arg(files.size() - DropSummary::NamesShown);
    return text + QLatin1Char('.');
}

} // namespace

QString DropSummary::message() const
{
    QStringList lines;
    if (added == 0)
        lines << QStringLiteral("No workbooks added to the list.");
    else if (added == 1)
        lines << QStringLiteral("1 workbook added to the list.");
    else
        lines << QStringLiteral("%1 workbooks added to the list.").arg(added);
    if (!duplicates.isEmpty())
        lines << QStringLiteral("Already in the list, not added again: ") + names(duplicates);
    if (!notWorkbooks.isEmpty())
        lines << QStringLiteral("Not .xls workbooks, passed over: ") + names(notWorkbooks);
    if (!listFull.isEmpty())
        lines << QStringLiteral("The list is full (%1 rows), not added: ").arg(JobList::MaxRows) +
                     names(listFull);
    return lines.join(QLatin1Char('\n'));
}

QStringList droppedFiles(const QStringList& paths)
{
    QStringList files;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir()) {
            files << path;
            continue;
        }
        const QDir folder(path);
        for (const QFileInfo& entry :
             folder.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase))
            files << entry.filePath();
    }
    return files;
}

void JobHandlers::AddDroppedFiles(const QStringList& paths)
{
    Trap trap(m_errors, QStringLiteral("frmMain:lvwGeneral_OLEDragDrop"));
    QStringList files;
    if (!trap.step([&] { files = droppedFiles(paths); }))
        return;
    DropSummary summary;
    for (const QString& file : files) {
        const QString name = JobList::fileNameOf(file);
        if (!SourceTargetSelection::hasExtension(file, QStringLiteral(".xls")))
            summary.notWorkbooks << name;
        else if (m_list.isFull())
            summary.listFull << name;
        else if (!trap.step([&] {
                     if (AddCompleteListView(file, SourceTargetSelection::proposedTarget(file)))
                         ++summary.added;
                     else
                         summary.duplicates << name;
                 }))
            return;
    }
    trap.step([&] { m_messages.show(summary.message(), MessageIcon::Information); });
}

} // namespace quillmer
