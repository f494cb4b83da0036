#pragma once

#include "support/programs.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace quillmer::test {

// What poppler's tools say about a PDF, for checking the conversions'
// results as a reader sees them.

inline QByteArray popplerOutput(const QString& tool, const QStringList& arguments)
{
    return runProgram(tool, arguments).output;
}

// A PDF of these objects, numbered from 1 (the first the catalog), with its
// cross-reference table.
inline QByteArray pdfOf(const QList<QByteArray>& objects)
{
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

// The text of a PDF, laid out as on its pages.
inline QString pdfText(const QString& pdf)
{
    return QString::fromUtf8(popplerOutput("pdftotext", {"-layout", pdf, "-"}));
}

// The size of each page in points, in order; empty for a file that is not
// a readable PDF.
inline QList<QSizeF> pageSizes(const QString& pdf)
{
    static const QRegularExpression pagesLine(R"(Pages:\s+(\d+))");
    static const QRegularExpression sizeLine(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)");
    QList<QSizeF> sizes;
    const QString pages =
        pagesLine.match(QString::fromUtf8(popplerOutput("pdfinfo", {pdf}))).captured(1);
    if (pages.isEmpty())
        return sizes;
    const QString info = QString::fromUtf8(popplerOutput("pdfinfo", {"-f", "1", "-l", pages, pdf}));
    for (auto m = sizeLine.globalMatch(info); m.hasNext();) {
        const auto match = m.next();
        sizes << QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble());
    }
    return sizes;
}

// The text of each page as pdftotext reads it (in the order it stands on
// the page), whitespace collapsed and in Unicode's composed form (a letter
// with its marks as one character where Unicode has one).
inline QStringList pageTexts(const QString& pdf)
{
    QStringList pages =
        QString::fromUtf8(popplerOutput("pdftotext", {"-layout", "-enc", "UTF-8", pdf, "-"}))
            .split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    for (QString& page : pages)
        page = page.simplified().normalized(QString::NormalizationForm_C);
    return pages;
}

// One page rendered in grey (at 40 dots per inch unless told): its pixels,
// one byte each.
inline QByteArray pagePixels(const QString& pdf, int page, const QString& folder, int dpi = 40)
{
    const QString prefix = folder + QStringLiteral("/page");
    QFile::remove(prefix + ".pgm");
    popplerOutput("pdftoppm", {"-gray", "-r", QString::number(dpi), "-f", QString::number(page),
                               "-l", QString::number(page), "-singlefile", pdf, prefix});
    QFile f(prefix + ".pgm");
    const QByteArray pgm = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    // "P5\n<w> <h>\n255\n" then the pixels.
    const QList<QByteArray> head = pgm.left(64).split('\n');
    if (head.size() < 4 || head[0] != "P5")
        return QByteArray();
    return pgm.mid(head[0].size() + head[1].size() + head[2].size() + 3);
}

// Two renderings that differ in at most one pixel in five hundred.
inline bool samePage(const QByteArray& a, const QByteArray& b)
{
    if (a.isEmpty() || a.size() != b.size())
        return false;
    qsizetype differ = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        differ += qAbs(int(quint8(a[i])) - int(quint8(b[i]))) > 32;
    return differ * 500 <= a.size();
}

// Within a point of the expected size.
inline bool nearSize(const QSizeF& a, const QSizeF& b)
{
    return qAbs(a.width() - b.width()) <= 1 && qAbs(a.height() - b.height()) <= 1;
}

} // namespace quillmer::test
