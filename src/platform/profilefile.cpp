#include "platform/profilefile.h"

#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <SimpleIni.h>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace quillmer::platform {

namespace {

// Cuts UTF-8 text to at most maxBytes without splitting a character.
QByteArray cutUtf8(const QByteArray& text, qsizetype maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    qsizetype end = maxBytes;
    while (end > 0 && (uchar(text[end]) & 0xC0) == 0x80)
        --end;
    return text.left(end);
}

QByteArray trimmedLine(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line.trimmed();
}

// The section name of a header line such as "[ SETTINGS ]", or nothing. A
// header left open ("[SETTINGS") ends the section before it, as the reader
// sees it, but names no section that can be asked for.
std::optional<QByteArray> sectionOf(const QByteArray& line)
{
    const QByteArray t = trimmedLine(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return QByteArray("\n");
    return t.mid(1, close - 1).trimmed();
}

// The key name of a "name = value" line, or nothing for comments and others.
std::optional<QByteArray> keyOf(const QByteArray& line)
{
    const QByteArray t = trimmedLine(line);
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('#'))
        return std::nullopt;
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return std::nullopt;
    return t.left(eq).trimmed();
}

bool sameName(const QByteArray& a, const QString& b)
{
    return QString::fromUtf8(a).compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString ProfileFile::readString(const QString& file, const QString& section, const QString& key,
                                const QString& defaultValue, int bufferSize)
{
    QByteArray value = defaultValue.toUtf8();
    QFile f(file);
    if (QFileInfo(file).isFile() && f.open(QIODevice::ReadOnly)) {
        const QByteArray data = f.readAll();
        CSimpleIniA ini;
        ini.SetUnicode(true);
        ini.SetMultiKey(true); // the first of duplicate keys counts
        ini.SetQuotes(true);   // "value" reads as value
        if (ini.LoadData(data.constData(), size_t(data.size())) >= 0) {
            const QByteArray s = section.toUtf8();
            const QByteArray k = key.toUtf8();
            if (const char* found = ini.GetValue(s.constData(), k.constData(), nullptr))
                value = QByteArray(found);
        }
    }
    return QString::fromUtf8(cutUtf8(value, qMax(0, bufferSize - 1)));
}

QByteArray ProfileFile::withValue(const QByteArray& contents, const QString& section,
                                  const QString& key, const QString& value)
{
    const QByteArray eol = contents.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    QList<QByteArray> lines = contents.split('\n');
    const bool endedWithNewline = contents.isEmpty() || contents.endsWith('\n');
    if (endedWithNewline)
        lines.removeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }

    const QByteArray newLine = key.toUtf8() + '=' + value.toUtf8();
    qsizetype sectionStart = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (auto s = sectionOf(lines[i]); s && sameName(*s, section)) {
            sectionStart = i;
            break;
        }
    }
    if (sectionStart < 0) {
        if (!lines.isEmpty() && !trimmedLine(lines.last()).isEmpty())
            lines << QByteArray();
        lines << '[' + section.toUtf8() + ']' << newLine;
    } else {
        qsizetype lastContent = sectionStart;
        qsizetype i = sectionStart + 1;
        bool replaced = false;
        for (; i < lines.size() && !sectionOf(lines[i]); ++i) {
            if (!trimmedLine(lines[i]).isEmpty())
                lastContent = i;
            if (auto k = keyOf(lines[i]); k && sameName(*k, key)) {
                lines[i] = *k + '=' + value.toUtf8();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            lines.insert(lastContent + 1, newLine);
    }
    return lines.join(eol) + eol;
}

bool ProfileFile::writeString(const QString& file, const QString& section, const QString& key,
                              const QString& value)
{
    // A line break in any of the three would write lines of its own.
    for (const QString* text : {&section, &key, &value}) {
        if (text->contains(QLatin1Char('\n')) || text->contains(QLatin1Char('\r')))
            return false;
    }
    if (section.isEmpty() || key.isEmpty() || key.contains(QLatin1Char('=')))
        return false;

    QByteArray contents;
    const QFileInfo info(file);
    if (info.exists()) {
        if (!info.isFile())
            return false;
        // The new file is renamed over the old one, which the folder allows
        // even when the file is read-only: refuse what its user may not write.
        if (::faccessat(AT_FDCWD, QFile::encodeName(file).constData(), W_OK, AT_EACCESS) != 0)
            return false;
        QFile current(file);
        if (!current.open(QIODevice::ReadOnly))
            return false;
        contents = current.readAll();
        if (current.error() != QFileDevice::NoError)
            return false;
    }

    return writeFileAtomically(file, withValue(contents, section, key, value));
}

} // namespace quillmer::platform
