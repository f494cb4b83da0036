#include "printqueue/ghostscriptcommand.h"

#include <QFile>

namespace quillmer::printqueue::ghostscript {

namespace {

const QString DeviceOption = QStringLiteral("-sDEVICE=");
const QString NoTransparency = QStringLiteral("-dNOTRANSPARENCY");

QString deviceName(Device device)
{
    switch (device) {
    case Device::PdfWrite:
        return QStringLiteral("pdfwrite");
    case Device::Ps2Write:
        return QStringLiteral("ps2write");
    case Device::PgmRaw:
        return QStringLiteral("pgmraw");
    case Device::Jpeg:
        return QStringLiteral("jpeg");
    case Device::None:
        break;
    }
    return QString();
}

// The operands that set PSDocOptions to text. Ghostscript takes operands of
// up to 2048 bytes, so the text goes as an array of hex strings that the
// last operand joins.
QStringList docOptionsOperands(const QByteArray& text)
{
    QStringList operands{QStringLiteral("-c"), QStringLiteral("[")};
    const QByteArray hex = text.toHex();
    for (qsizetype at = 0; at < hex.size(); at += 1024)
        operands << u'<' + QString::fromLatin1(hex.mid(at, 1024)) + u'>';
    operands << QStringLiteral("] 0 1 index { length add } forall string 0 3 -1 roll "
                               "{ 3 copy putinterval length add } forall pop "
                               "<< /PSDocOptions 3 -1 roll >> setdistillerparams")
             << QStringLiteral("-f");
    return operands;
}

// A file name as OutputFile takes it: there a % starts a page number
// format, and %% is the character.
QString outputFileName(const QString& path)
{
    return QString(path).replace(u'%', QStringLiteral("%%"));
}

} // namespace

QStringList startFlags(Device device, bool quiet)
{
    QStringList flags;
    if (quiet)
        flags << QStringLiteral("-q");
    flags << QStringLiteral("-dSAFER");
    if (device == Device::None)
        flags << QStringLiteral("-dNODISPLAY");
    flags << QStringLiteral("-dNOPAUSE") << QStringLiteral("-dBATCH");
    if (device != Device::None)
        flags << DeviceOption + deviceName(device);
    return flags;
}

QString commandText(const QString& program, const QStringList& arguments)
{
    QString text = program;
    for (const QString& argument : arguments)
        text += u' ' + argument;
    return text;
}

QString quoted(const QString& text)
{
    return u'"' + text + u'"';
}

QStringList ps2writeArguments(const QString& spoolPdf, const QString& outputFile,
                              const QByteArray& documentSetup, SpoolReading reading)
{
    QStringList flags = startFlags(Device::Ps2Write, true);
    if (reading.dropTransparency)
        flags << NoTransparency;
    if (reading.transparencyAsPictures)
        flags << QStringLiteral("-r300");
    if (reading.olderInterpreter)
        flags << QStringLiteral("-dNEWPDF=false");
    return flags +
           QStringList{QStringLiteral("-dWantsToUnicode=true"),
                       QStringLiteral("-sOutputFile=") + outputFileName(outputFile)} +
           docOptionsOperands(documentSetup) + QStringList{spoolPdf};
}

QStringList greyPagesArguments(const QString& pdf, int resolution, bool dropTransparency)
{
    QStringList arguments = startFlags(Device::PgmRaw, true);
    if (dropTransparency)
        arguments << NoTransparency;
    return arguments << QStringLiteral("-dDOINTERPOLATE") << QStringLiteral("-r%1").arg(resolution)
                     << QStringLiteral("-sOutputFile=-") << pdf;
}

QStringList pagePictureArguments(const QString& pdf, int page, int resolution)
{
    return startFlags(Device::Jpeg, true)
           << QStringLiteral("-dJPEGQ=90") << QStringLiteral("-dTextAlphaBits=4")
           << QStringLiteral("-dGraphicsAlphaBits=4") << QStringLiteral("-r%1").arg(resolution)
           << QStringLiteral("-dFirstPage=%1").arg(page)
           << QStringLiteral("-dLastPage=%1").arg(page) << QStringLiteral("-sOutputFile=-") << pdf;
}

QString pdfwriteCommand(const QString& gsPath, const QString& input, const QString& output,
                        const std::optional<PageTexts>& pages, bool setPdfWrite)
{
    QStringList arguments = startFlags(Device::PdfWrite, false);
    // Page texts that passed a numeric test may carry white space around the
    // number; in the command it would split the option and hand Ghostscript
    // the number as a file.
    if (pages)
        arguments << QStringLiteral("-dFirstPage=") + pages->first.trimmed()
                  << QStringLiteral("-dLastPage=") + pages->last.trimmed();
    arguments << QStringLiteral("-sOutputFile=") + quoted(outputFileName(output))
              << QStringLiteral("-dCompatibilityLevel=1.4") << QStringLiteral("-c")
              << (setPdfWrite ? QStringLiteral(".setpdfwrite")
                              : QStringLiteral("3000000 setvmthreshold"))
              << QStringLiteral("-f") << quoted(input);
    return commandText(gsPath, arguments);
}

QString questionCommand(const QString& gsPath, const QStringList& operands)
{
    return commandText(gsPath, startFlags(Device::None, true) + operands);
}

bool keepOutputOf(bool succeeded, const QString& outputFile)
{
    if (!succeeded)
        QFile::remove(outputFile);
    return succeeded;
}

} // namespace quillmer::printqueue::ghostscript
