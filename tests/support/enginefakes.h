#pragma once

// Stand-ins for the services the conversion engine is handed.
#include "engine/pipeline.h"
#include "support/fakes.h"

#include <QList>
#include <QPair>
#include <QStringList>

namespace quillmer::test {

// The job list as the window shows it, every status change noted.
class RecordingJobs : public JobStatusSink
{
public:
    void UpdateListViewStatus(qint16 row, const QString& status) noexcept override
    {
        changes << qMakePair(row, status);
    }
    QString rowText(qint16 row) const override
    {
        if (row < 1 || row > rowTexts.size())
            throw AppError(err::SubscriptOutOfRange);
        return rowTexts[row - 1];
    }
    QStringList statuses(qint16 row) const
    {
        QStringList out;
        for (const auto& [r, s] : changes)
            if (r == row)
                out << s;
        return out;
    }

    QStringList rowTexts;
    QList<QPair<qint16, QString>> changes;
};

// Answers the Windows version query with a set record (none at first).
class ScriptedVersion : public VersionSource
{
public:
    std::optional<VersionRecord> query() override { return record; }
    std::optional<VersionRecord> record;
};

} // namespace quillmer::test
