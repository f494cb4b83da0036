#include "frontend/batchrun.h"

#include "errors/trap.h"
#include "frontend/optionrules.h"

namespace quillmer {

namespace {

AppError noSuchRow(qint16 row)
{
    return AppError(err::SubscriptOutOfRange,
                    QStringLiteral("Subscript out of range: the job list has no row %1").arg(row));
}

} // namespace

QString JobListStatus::rowText(qint16 row) const
{
    if (row < 1 || row > m_list.count())
        throw noSuchRow(row);
    return m_list.job(row).fileName;
}

BatchRun::BatchRun(const BatchRunContext& context) : m_context(context) {}

void BatchRun::cmdConvert_Click()
{
    using Box = ConvertBoxes::Box;
    auto& c = m_context;
    // After a failure the pointer goes back to default; a step is false when
    // HandleError says the run must end.
    Trap trap(c.errors, TrapLabel, c.pointer);
    // A refused box: its message, the focus on it, the default pointer, and
    // the run ends whatever happens on the way.
    const auto refuse = [&](const QString& message, Box box) {
        trap.step([&] { c.messages.show(message, MessageIcon::Information); }) &&
            trap.step([&] { c.boxes.setFocus(box); }) && trap.step([&] { c.pointer.setDefault(); });
    };

    if (!trap.step([&] { c.pointer.setBusy(); }))
        return;

    bool passed = true;
    if (!trap.step([&] { passed = IsNumeric(c.boxes.text(Box::From)); }))
        return;
    if (!passed)
        return refuse(fromMessage(), Box::From);

    if (!trap.step([&] { passed = IsNumeric(c.boxes.text(Box::To)); }))
        return;
    if (!passed)
        return refuse(toMessage(), Box::To);

    if (!trap.step([&] {
            const QString adjust = c.boxes.text(Box::Adjust);
            passed = IsNumeric(adjust) && !adjust.trimmed().isEmpty();
        }))
        return;
    if (!passed)
        return refuse(adjustMessage(), Box::Adjust);

    if (!trap.step([&] {
            const auto scale = toNumber(c.boxes.text(Box::Adjust));
            passed = scale && *scale >= 10 && *scale <= 400;
        }))
        return;
    if (!passed)
        return refuse(rangeMessage(), Box::Adjust);

    // A pair still waiting in the path boxes joins the list (or is refused
    // as a duplicate); the boxes are emptied either way.
    if (!trap.step([&] {
            if (!c.paths.sourceText().isEmpty())
                c.handlers.AddCompleteListView();
        }))
        return;
    if (!trap.step([&] { c.paths.setSourceText(QString()); }))
        return;
    if (!trap.step([&] { c.paths.setTargetText(QString()); }))
        return;

    qint16 rowCount = 0;
    if (!trap.step([&] { rowCount = c.list.count(); }))
        return;
    if (convertRows(trap, rowCount))
        trap.step([&] { c.pointer.setDefault(); });
}

bool BatchRun::convertRows(Trap& trap, qint16 rowCount)
{
    auto& c = m_context;
    for (int number = 1; number <= rowCount; ++number) {
        const qint16 row = qint16(number);
        c.list.UpdateListViewStatus(row, JobStatus::Converting);
        QString source, target;
        bool read = false;
        if (!trap.step([&] {
                if (row > c.list.count())
                    throw noSuchRow(row);
                source = c.list.job(row).source;
                target = c.list.job(row).target;
                read = true;
            }))
            return false;
        if (!read)
            continue;
        c.converter.expectJobs(rowCount - number);
        if (!trap.step([&] { c.converter.ConversionPipeline(source, target, row, 1); }))
            return false;
    }
    return true;
}

} // namespace quillmer
