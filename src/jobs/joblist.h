#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

namespace quillmer {

// One row of the job list.
struct ConversionJob
{
    QString fileName; // the row's key
    QString source;
    QString target;
    QString status; // one of JobStatus (engine/jobstatus.h), "" at first
};

// The job list: source/target pairs with their status, keyed by file name
// (unique without regard to letter case). Rows are numbered from 1 in the
// order they were added; they are never reordered or removed one by one.
// The main window shows this model; it is the only store of jobs.
class JobList : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { FileNameColumn, SourceColumn, TargetColumn, StatusColumn, ColumnCount };
    // Row numbers are 16-bit: the list holds at most this many rows.
    static constexpr int MaxRows = 32767;

    using QAbstractTableModel::QAbstractTableModel;

    // The file name of a source path: the text after its last '/', or the
    // whole text when it has none.
    static QString fileNameOf(const QString& source);
    // The column keys and header texts, left to right.
    static QString columnKey(int column);

    bool containsFileName(const QString& fileName) const;
    // Appends a row with an empty status. Throws AppError(Overflow) when the
    // list is full; the caller checks for duplicates.
    void append(const QString& source, const QString& target);
    // Writes a status into row (1-based); ignores a row that does not exist.
    void UpdateListViewStatus(qint16 row, const QString& status) noexcept;
    void clear();

    qint16 count() const { return qint16(m_jobs.size()); }
    bool isFull() const { return m_jobs.size() >= MaxRows; }
    // The job in row (1-based); the row must exist.
    const ConversionJob& job(qint16 row) const { return m_jobs.at(row - 1); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The header texts; Qt::UserRole gives each column's key.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<ConversionJob> m_jobs;
};

} // namespace quillmer
