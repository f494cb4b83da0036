#include "jobs/joblist.h"

#include "errors/apperror.h"

namespace quillmer {

QString JobList::fileNameOf(const QString& source)
{
    const qsizetype slash = source.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? source : source.mid(slash + 1);
}

QString JobList::columnKey(int column)
{
    switch (column) {
    case FileNameColumn: return QStringLiteral("flName");
    case SourceColumn: return QStringLiteral("source");
    case TargetColumn: return QStringLiteral("detination");
    case StatusColumn: return QStringLiteral("status");
    default: return {};
    }
}

bool JobList::containsFileName(const QString& fileName) const
{
    const QString wanted = fileName.toUpper();
    for (const ConversionJob& job : m_jobs) {
        if (job.fileName.toUpper() == wanted)
            return true;
    }
    return false;
}

void JobList::append(const QString& source, const QString& target)
{
    if (isFull())
        throw AppError(err::Overflow);
    const int row = int(m_jobs.size());
    beginInsertRows({}, row, row);
    m_jobs.append({fileNameOf(source), source, target, QString()});
    endInsertRows();
}

void JobList::UpdateListViewStatus(qint16 row, const QString& status) noexcept
{
    if (row < 1 || row > m_jobs.size())
        return;
    m_jobs[row - 1].status = status;
    const QModelIndex cell = index(row - 1, StatusColumn);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void JobList::clear()
{
    beginResetModel();
    m_jobs.clear();
    endResetModel();
}

int JobList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_jobs.size());
}

int JobList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JobList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_jobs.size())
        return {};
    const ConversionJob& job = m_jobs[index.row()];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case FileNameColumn: return job.fileName;
        case SourceColumn: return job.source;
        case TargetColumn: return job.target;
        case StatusColumn: return job.status;
        default: return {};
        }
    }
    return {};
}

QVariant JobList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::UserRole)
        return columnKey(section);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case FileNameColumn: return QStringLiteral("Excel File");
    case SourceColumn: return QStringLiteral("Source Location");
    case TargetColumn: return QStringLiteral("Target Location");
    case StatusColumn: return QStringLiteral("Status");
    default: return {};
    }
}

} // namespace quillmer
