#pragma once

#include "printqueue/charactermaps.h"

#include <QString>
#include <memory>

class QPDF;

namespace quillmer::printqueue {

// The office's PDF spool as the printer queue reads it: opened once with
// qpdf, read and changed in memory by each of the queue's rewrites, and
// written once, with the changes, for the printer driver. Every failure of
// qpdf's is thrown as platform::Failure.
class SpoolDocument
{
public:
    // Reads pdf.
    explicit SpoolDocument(const QString& pdf);
    ~SpoolDocument();
    SpoolDocument(const SpoolDocument&) = delete;
    SpoolDocument& operator=(const SpoolDocument&) = delete;

    // Whether the spool uses transparency anywhere: a soft mask (a
    // picture's, or an ExtGState's), a constant alpha below 1, a blend mode
    // other than Normal, or a transparency group. A pass over its objects.
    bool usesTransparency() const;

    // The multi-unit values of its fonts' ToUnicode maps (charactermaps.h).
    charactermaps::MultiUnitValues multiUnitValues() const;

    // Text its clips cut drawn invisible where its ink is hidden
    // (clippedtext.h), page by page; how many runs of glyphs.
    int markClippedText();

    // Each 8-bit grey or RGB picture with a plain soft mask of its size laid
    // over white, its mask gone (transparency.h); how many.
    int flattenSoftMasks();

    // Writes the spool with all its changes into output, when some came
    // since it was last written: streams as they are, page contents the
    // queue rewrote uncompressed (the driver reads the file once, from
    // memory, and compressing cost more than it saved). False when none
    // came (nothing written).
    bool writeChanges(const QString& output);

private:
    std::unique_ptr<QPDF> m_document;
    int m_changes = 0; // since it was last written
};

} // namespace quillmer::printqueue
