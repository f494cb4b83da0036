#pragma once

// The paper sizes the program knows, once for all of it: the window's list,
// the command's --paper, the page set-up step and the office's page styles.
// They sit beside the automation interface because its PaperSize numbers
// are theirs, and the office host, below the engine, needs the sizes.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace quillmer::office {

struct PaperSize
{
    const char* name; // the window's text for it
    qint32 number;    // Excel's PaperSize (xl::Paper...)
    qint32 width;     // portrait, in 1/100 mm: the size Windows prints for the number
    qint32 height;
};

// In the order of the window's list.
inline constexpr PaperSize PaperSizes[] = {
    {"A4", 9, 21000, 29700},     {"Legal", 5, 21590, 35560}, {"A5", 11, 14800, 21000},
    {"Letter", 1, 21590, 27940}, {"B4", 12, 25000, 35400},   {"B5", 13, 18200, 25700},
};

// The size named text (exactly, or without regard to case), or none.
inline const PaperSize* paperSizeNamed(const QString& text,
                                       Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    for (const PaperSize& paper : PaperSizes)
        if (text.compare(QLatin1String(paper.name), cs) == 0)
            return &paper;
    return nullptr;
}

// The size of Excel's number, or none.
inline const PaperSize* paperSizeNumbered(qint32 number)
{
    for (const PaperSize& paper : PaperSizes)
        if (paper.number == number)
            return &paper;
    return nullptr;
}

// The names, in the list's order.
inline QStringList paperSizeNames()
{
    QStringList names;
    for (const PaperSize& paper : PaperSizes)
        names << QLatin1String(paper.name);
    return names;
}

// The names as a sentence says them: "A4, Legal, ... B4 or B5".
inline QString paperSizeChoice()
{
    QStringList names = paperSizeNames();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace quillmer::office
