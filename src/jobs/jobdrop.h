#pragma once

#include <QString>
#include <QStringList>

namespace quillmer {

// What one drop of files and folders did to the job list: the one message
// that sums it up names the files that were not added.
struct DropSummary
{
    int added = 0;
    QStringList duplicates;   // file names already listed
    QStringList notWorkbooks; // file names that do not end in ".xls"
    QStringList listFull;     // workbooks the full list could not take

    // One line for the rows added, one for each kind of refusal. Each line
    // names at most NamesShown files, then says how many more there are.
    QString message() const;
    static constexpr int NamesShown = 5;
};

// The files a drop brings: a dropped file itself; a dropped folder its own
// files, in name order without regard to case, not those of its subfolders.
QStringList droppedFiles(const QStringList& paths);

} // namespace quillmer
