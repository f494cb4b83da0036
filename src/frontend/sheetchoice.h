#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillmer {

// One item of a list of sheets: a sheet's name, or its 1-based numbers
// first to last (one number: first == last).
struct SheetItem
{
    QString name;
    int first = 0;
    int last = 0;

    friend bool operator==(const SheetItem&, const SheetItem&) = default;
};
using SheetList = QList<SheetItem>;

// "2,4-6,Totals,\"Q1, 2019\"": numbers, ranges of numbers and names,
// separated by commas. A name may be put in double quotes (a quote inside
// written twice), so that it can hold a comma or be taken for a name where
// it looks like a number. None, with the reason in error, for a list that
// is empty, has an empty item, a quote that never closes, or a range that
// runs backwards or starts at 0.
std::optional<SheetList> parseSheetList(const QString& text, QString* error);

// Which of the sheets (by their names, in the workbook's order) the list
// names: a name matches exactly, or else without regard to case, as sheet
// names are unique in a workbook. AppError 9 naming the first item the
// workbook has no sheet for.
QList<bool> chosenSheets(const SheetList& list, const QStringList& names);

// The file of one sheet of a split: "<target without .pdf>-<sheet>.pdf", the
// characters that file names cannot hold, or that a shell or another system
// takes for something else, replaced by "_".
QString sheetTarget(const QString& target, const QString& sheetName);

} // namespace quillmer
