#pragma once

#include "errors/errorhandler.h"
#include "errors/services.h"
#include "jobs/joblist.h"

#include <QStringList>

namespace quillmer {

// The two path boxes of the main window: the source workbook and the target
// PDF that "Add To List" turns into a job.
class PathBoxes
{
public:
    virtual ~PathBoxes() = default;
    virtual QString sourceText() const = 0;
    virtual void setSourceText(const QString& text) = 0;
    virtual QString targetText() const = 0;
    virtual void setTargetText(const QString& text) = 0;
};

// The job list's operations as the main window's buttons use them.
class JobHandlers
{
public:
    JobHandlers(JobList& list, PathBoxes& boxes, MessageBoxService& messages, ErrorHandler& errors);

    // Adds the pair in the path boxes as a new row, or shows "File already
    // added." when its file name is listed. Leaves the boxes alone. A list
    // that cannot take the row throws to the caller.
    void AddCompleteListView();
    // Adds source and target as a new row; false, with nothing added, when
    // the source's file name is listed. A full list throws.
    bool AddCompleteListView(const QString& source, const QString& target);
    // "Add To List": refuses an empty source, adds the pair, empties both boxes.
    // A row the list cannot take goes to HandleError and the pair stays in
    // the boxes.
    void cmdAddToList_Click();
    // "Clear List": removes every row; the boxes stay.
    void cmdClearList_Click() noexcept;
    // Files and folders dropped on the job list: each ".xls" file becomes a
    // row with the target the source dialog proposes; a folder gives its own
    // files in name order, not those of its subfolders. One message sums up
    // the drop. The path boxes and the settings stay as they are.
    void AddDroppedFiles(const QStringList& paths);

    static QString duplicateMessage() { return QStringLiteral("File already added."); }
    static QString noSourceMessage() { return QStringLiteral("Please select a PDF File"); }

private:
    JobList& m_list;
    PathBoxes& m_boxes;
    MessageBoxService& m_messages;
    ErrorHandler& m_errors;
};

} // namespace quillmer
