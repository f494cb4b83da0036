#pragma once

#include <QString>

namespace quillmer {

// The status texts of a job, as its row in the job list shows them.
namespace JobStatus {
inline const QString None;
inline const QString Converting = QStringLiteral("Converting...");
inline const QString Completed = QStringLiteral("Completed");
inline const QString Failed = QStringLiteral("Failed");
} // namespace JobStatus

// The job list as a conversion reports to it.
class JobStatusSink
{
public:
    virtual ~JobStatusSink() = default;
    // Writes a status text into row (1-based); never fails.
    virtual void UpdateListViewStatus(qint16 row, const QString& status) noexcept = 0;
    // The text of the row's first column, the workbook's file name. Throws
    // AppError when there is no such row.
    virtual QString rowText(qint16 row) const = 0;
};

} // namespace quillmer
