#pragma once

#include <QByteArray>
#include <QMap>

namespace quillmer::printqueue::charactermaps {

// What a character code stands for in a font's ToUnicode map, when that is
// more than one UTF-16 unit: a ligature ("ffi"), a letter drawn with its
// combining mark as one glyph, a character beyond the Basic Multilingual
// Plane. Code to UTF-16BE.
using MultiUnitEntries = QMap<int, QByteArray>;

// The entries of one ToUnicode CMap (its bfchar and bfrange sections) whose
// value is longer than one UTF-16 unit.
MultiUnitEntries multiUnitEntries(const QByteArray& cmap);

// The multi-unit entries of a PDF's fonts, by font name without the subset
// tag ("NotoSans-Italic" for "CAAAAA+NotoSans-Italic").
struct MultiUnitValues
{
    QMap<QByteArray, MultiUnitEntries> fonts;
    // Some cannot be told by name and code: a composite font's, a font
    // without a name, or two fonts of one name giving a code different
    // values.
    bool ambiguous = false;
};

// (Read from a spool by SpoolDocument::multiUnitValues.)

// PostScript that leaves the values in userdict as /QuillmerUnicode, a
// dictionary of font names (strings) to dictionaries of codes to values,
// for the queue's document set-up; empty when there are none.
QByteArray postScript(const MultiUnitValues& values);

} // namespace quillmer::printqueue::charactermaps
