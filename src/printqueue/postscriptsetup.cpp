#include "printqueue/postscriptsetup.h"

namespace quillmer::printqueue::postscript {

namespace {

// The document set-up that the queue has ps2write put into every print file,
// after the prolog (see docs/printqueue.md). ps2write's prolog is a PDF
// reader in PostScript (Ghostscript's opdfread procedure set); this code
// works on the objects it has read and on its table of object handlers.
//
// 1. Text. With WantsToUnicode, ps2write writes each font's ToUnicode CMap
//    into the file, but the reader builds the fonts without it. Here every
//    CMap is read (its operators redefined to fill a dictionary) and put into
//    a copy of its font as FontInfo /GlyphNames2Unicode, character code to
//    UTF-16BE, the entry Ghostscript's pdfwrite reads to write ToUnicode.
//    A value longer than one UTF-16 unit (a ligature, a letter with its
//    combining mark) comes garbled from Ghostscript's newer PDF interpreter
//    and whole from the older one (documentSetup() picks the test). With the
//    newer one, such values come from the spool itself instead: the queue
//    reads them there and puts them in front as /QuillmerUnicode, font name
//    (without its subset tag) to code to value (printqueue/charactermaps.h).
//    A font whose map cannot be read stays as it was.
// 2. Page sizes. The reader skips setpagedevice when the page size rounds to
//    the current one, so an A4 page (595.3 x 841.89) on a device whose
//    default is 595 x 842 kept the default. Each page object first sets its
//    exact size when it differs.
// 3. Orientation. pdfwrite by default turns a page whose text it finds
//    mostly vertical (/Rotate 90); the file asks it to keep every page as
//    the spool has it.
//
// Other PostScript consumers print the file as before: they ignore the
// FontInfo entry and the distiller parameter, and the page sizes are the
// file's own.
const char* const DocumentSetup = R"ps(
/setdistillerparams where { pop << /AutoRotatePages /None >> setdistillerparams } if
/PDFReader where { pop
userdict /QuillmerState 6 dict put
QuillmerState /n count 2 sub put
QuillmerState /d countdictstack put
QuillmerState /g currentglobal put
{
  12 dict begin
  /ops 16 dict def
  ops begin
    /QuillmerCode { 0 exch { exch 8 bitshift add } forall } bind def
    /QuillmerPut { dup length QuillmerKeeps { QuillmerMap 3 1 roll put } { pop pop } ifelse } bind def
    /findresource { pop pop currentdict } bind def
    /defineresource { pop pop } bind def
    /usecmap { pop } bind def
    /begincmap { } def
    /endcmap { } def
    /begincodespacerange { pop mark } bind def
    /endcodespacerange { cleartomark } bind def
    /beginbfchar { pop mark } bind def
    /endbfchar { counttomark 2 idiv {
        exch QuillmerCode exch QuillmerPut } repeat pop } bind def
    /beginbfrange { pop mark } bind def
    /endbfrange { counttomark 3 idiv {
        3 -1 roll QuillmerCode 3 -1 roll QuillmerCode 1 index sub
        0 1 3 -1 roll {
          2 index type /arraytype eq { 2 index 1 index get } {
            2 index dup length string copy
            dup dup length 1 sub 2 copy get 4 index add put
          } ifelse
          exch 2 index add exch QuillmerPut
        } for pop pop } repeat pop } bind def
  end
  PDFReader /ObjectRegistry get { exch pop { exch pop
    dup type /dicttype eq {
      dup /Type known { dup /Type get /Font eq } { false } ifelse
      { dup /ToUnicode known 1 index /FontDescriptor known and } { false } ifelse
    } { false } ifelse {
      /fr exch def
      /fd fr /FontDescriptor { } PDFReader /ResolveD get exec def
      fd type /dicttype eq { fd /Font known } { false } ifelse {
        fd gcheck setglobal
        ops /QuillmerMap 256 dict put
        QuillmerState /n2 count 2 sub put
        QuillmerState /d2 countdictstack put
        {
          fr /ToUnicode { } PDFReader /ResolveD get exec
          PDFReader /MakeStreamReader get exec cvx
          ops begin exec end
        } stopped
        countdictstack QuillmerState /d2 get sub { end } repeat
        count QuillmerState /n2 get sub 1 sub { exch pop } repeat
        not {
          /QuillmerUnicode where {
            /QuillmerUnicode get
            fr /BaseFont { } PDFReader /ResolveD get exec
            dup type /nametype eq { dup length string cvs } if
            dup type /stringtype eq {
              (+) search { pop pop } if
              2 copy known {
                get { dup length string copy ops /QuillmerMap get 3 1 roll put } forall
              } { pop pop } ifelse
            } { pop pop } ifelse
          } if
          fd /Font get dup length 1 add dict copy
          dup /FontInfo known { dup /FontInfo get dup length 1 add dict copy } { 1 dict } ifelse
          dup /GlyphNames2Unicode ops /QuillmerMap get put
          1 index exch /FontInfo exch put
          fd /Font 3 -1 roll put
        } if
        QuillmerState /g get setglobal
      } if
    } { pop } ifelse
  } forall } forall
  end
} stopped pop
QuillmerState /g get setglobal
countdictstack QuillmerState /d get sub { end } repeat
count QuillmerState /n get sub { pop } repeat
userdict /QuillmerState undef
userdict /QuillmerUnicode known { userdict /QuillmerUnicode undef } if
PDFReader /TypeDaemons get dup /Page known {
  dup /Page [ {
    dup /MediaBox known { dup /MediaBox get } { null } ifelse
    dup type /arraytype eq { dup xcheck not } { false } ifelse {
      aload pop 3 -1 roll sub 3 1 roll exch sub exch
      currentpagedevice /PageSize get aload pop
      3 index ne exch 4 index ne or {
        currentglobal false setglobal 3 1 roll 2 array astore
        mark exch { << /PageSize 3 -1 roll >> setpagedevice } stopped cleartomark
        setglobal
      } { pop pop } ifelse
    } { pop } ifelse
  } /exec load 4 index /Page get /exec load ] cvx put
} if pop
} if
)ps";

// The reader set-up, put in before the first object the reader reads. For
// each font, the reader asks the interpreter whether a font of the same name
// is installed and loads it ahead (findfont), though it draws with the font
// the spool embeds and would look an installed one up by itself when a font
// is not embedded. On a Ghostscript with many system fonts that check costs
// more than the rest of a small workbook (the first look-up builds the font
// map): about 65 ms a conversion. The font handler is replaced by a copy
// without the check; everything else it does stays. Where the handler is
// not as expected, nothing changes.
//
// Invisible text (mode 3: text the spool clips away entirely, see
// printqueue/clippedtext.h) the reader turns into glyph outlines that it
// throws away, so pdfwrite never sees it. Its text operators are wrapped so
// that such text is shown as text in Ghostscript's own invisible mode
// (.settextrenderingmode), which pdfwrite writes as invisible text. Other
// interpreters lack that operator and draw the file as before.
const char* const ReaderSetup = R"ps(
/PDFReader where { pop /.settextrenderingmode where { pop
  PDFReader /Operators get dup /Tj known {
    userdict /QuillmerGS PDFReader /GraphicState get put
    [ /Tj /TJ /' /" ] {
      2 copy known {
        2 copy get userdict /QuillmerOld 3 -1 roll put
        [ userdict /QuillmerGS get /TextRenderingMode /get load 3 /eq load
          /currentfont load /FontType /get load 3 /ne load /and load
          [ userdict /QuillmerGS get /TextRenderingMode 0 /put load
            3 /.settextrenderingmode load
            userdict /QuillmerOld get /exec load
            0 /.settextrenderingmode load
            userdict /QuillmerGS get /TextRenderingMode 3 /put load ] cvx
          [ userdict /QuillmerOld get /exec load ] cvx
          /ifelse load ] cvx
        2 index 3 1 roll put
      } { pop } ifelse
    } forall
    userdict /QuillmerOld undef userdict /QuillmerGS undef
  } if pop
} if } if
/PDFReader where { pop
  PDFReader /TypeDaemons get dup /Font known {
    8 dict begin
    /daemons exch def
    /old daemons /Font get cvlit def
    /at -1 def
    0 1 old length 1 sub {
      /i exch def
      old i get dup type dup /arraytype eq exch /packedarraytype eq or 1 index xcheck and {
        false exch { /resourcestatus load eq or } forall { /at i def } if
      } { pop } ifelse
    } for
    at 0 ge {
      /block old at get cvlit def
      block length 0 gt { block 0 get xcheck } { false } ifelse {
        /new old length array def
        new 0 old putinterval
        new at [ block 0 get /exec load 2 /copy load /BaseFont /exch load /put load /pop load ] cvx put
        daemons /Font new cvx put
      } if
    } if
    end
  } { pop } ifelse
} if
)ps";

} // namespace

QByteArray documentSetup(bool multiUnit)
{
    return QByteArray(DocumentSetup)
        .replace("QuillmerKeeps", multiUnit ? "dup 0 gt exch 2 mod 0 eq and" : "2 eq");
}

const char* readerSetup()
{
    return ReaderSetup;
}

} // namespace quillmer::printqueue::postscript
