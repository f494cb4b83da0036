#pragma once

#include <QString>

namespace quillmer::platform::charactermaps {

// Whether a font of the PDF maps a character code to more than one UTF-16
// unit in its ToUnicode map: a ligature ("ffi"), a letter drawn with its
// combining mark as one glyph, a character beyond the Basic Multilingual
// Plane. False when the file cannot be read as a PDF.
bool multiUnit(const QString& pdf);

// The same test on the text of one ToUnicode CMap: a hex string of more than
// four digits among its bfchar and bfrange entries. Keys are at most two
// bytes in the maps an office writes, so such a string is a value.
bool multiUnitEntries(const QByteArray& cmap);

} // namespace quillmer::platform::charactermaps
