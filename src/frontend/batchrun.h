#pragma once

#include "engine/pipeline.h"
#include "errors/errorhandler.h"
#include "errors/services.h"
#include "errors/trap.h"
#include "jobs/jobhandlers.h"
#include "jobs/joblist.h"

#include <QString>

namespace quillmer {

// The three boxes of the main window the batch run checks: the first and
// last page of the range and the scale.
class ConvertBoxes
{
public:
    enum class Box { From, To, Adjust }; // txtFrom, txtTo, txtAdjust

    virtual ~ConvertBoxes() = default;
    virtual QString text(Box box) const = 0;
    // Moves the input focus to the box. Throws AppError 5 (Invalid procedure
    // call or argument) when the box cannot take the focus (disabled or
    // hidden), as the window's controls do.
    virtual void setFocus(Box box) = 0;
};

// The job list's statuses and first-column texts for a conversion.
class JobListStatus : public JobStatusSink
{
public:
    explicit JobListStatus(JobList& list) : m_list(list) {}
    void UpdateListViewStatus(qint16 row, const QString& status) noexcept override
    {
        m_list.UpdateListViewStatus(row, status);
    }
    QString rowText(qint16 row) const override;

private:
    JobList& m_list;
};

// What the batch run works with.
struct BatchRunContext
{
    ConvertBoxes& boxes;
    PathBoxes& paths;
    JobList& list;
    JobHandlers& handlers; // AddCompleteListView
    JobConverter& converter;
    MessageBoxService& messages;
    PointerService& pointer;
    ErrorHandler& errors;
};

// The "Convert" button: checks the page and scale boxes, takes a pair still
// waiting in the path boxes into the list, empties the boxes and converts
// every row of the list in order, each first marked "Converting...". The
// run keeps nothing between presses: a second press converts every row
// again.
//
// One trap, "frmMain:Image9_Click", covers the run. After a failure the
// pointer goes back to default; when HandleError lets the run go on it
// resumes after the failing statement (a failure while a row is read or
// converted goes on with the next row), else the run ends.
class BatchRun
{
public:
    explicit BatchRun(const BatchRunContext& context);

    void cmdConvert_Click();

    static inline const QString TrapLabel = QStringLiteral("frmMain:Image9_Click");
    static QString fromMessage()
    {
        return QStringLiteral("Please enter value in Page Range From field");
    }
    static QString toMessage()
    {
        return QStringLiteral("Please enter value in Page Range To field");
    }
    static QString adjustMessage()
    {
        return QStringLiteral("Please enter valid value in Page Adjust field");
    }
    static QString rangeMessage()
    {
        return QStringLiteral(
            "Please enter value in range between 10 and 400 in Page Adjust field");
    }

private:
    // Converts rows 1 to rowCount in turn; false when the run must end.
    bool convertRows(Trap& trap, qint16 rowCount);

    BatchRunContext m_context;
};

} // namespace quillmer
