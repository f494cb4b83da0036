#pragma once

#include <QByteArray>

// The two pieces of PostScript of the queue's own that go into every print
// file (see postscriptsetup.cpp and docs/printqueue.md): the document
// set-up, in the file's set-up section through ps2write's PSDocOptions, and
// the reader set-up, just before the first object. (The multi-unit values
// and the overlay pictures add PostScript of their own after the reader
// set-up: charactermaps.h, transparency.h.)
namespace quillmer::printqueue::postscript {

// The document set-up, its maps keeping values of one UTF-16 unit, or with
// multiUnit of any whole number of them (the older interpreter's).
QByteArray documentSetup(bool multiUnit);

const char* readerSetup();

} // namespace quillmer::printqueue::postscript
