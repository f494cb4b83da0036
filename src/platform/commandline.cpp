// The command-line split of platform/process.h: CreateProcess's way of
// finding the program, and the Windows argument rules.
#include "platform/process.h"

#include <QByteArray>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmer::platform {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isExecutableFile(const QByteArray& path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

// The file a program name stands for: itself when it holds a slash,
// otherwise the first match on PATH.
std::optional<QString> findExecutable(const QString& name)
{
    if (name.isEmpty())
        return std::nullopt;
    if (name.contains(u'/'))
        return isExecutableFile(QFile::encodeName(name)) ? std::optional(name) : std::nullopt;
    const QByteArray path = qgetenv("PATH");
    for (const QByteArray& dir : path.split(':')) {
        const QByteArray candidate =
            (dir.isEmpty() ? QByteArray(".") : dir) + '/' + QFile::encodeName(name);
        if (isExecutableFile(candidate))
            return QFile::decodeName(candidate);
    }
    return std::nullopt;
}

} // namespace

QStringList splitArguments(const QString& text)
{
    QStringList out;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (c == u'\\') {
            qsizetype count = 0;
            while (i < n && text[i] == u'\\') {
                ++count;
                ++i;
            }
            inArgument = true;
            if (i < n && text[i] == u'"') {
                current += QString(count / 2, u'\\');
                if (count % 2 == 1) {
                    current += u'"';
                    ++i;
                }
                // An even count leaves the quote for the next round.
            } else {
                current += QString(count, u'\\');
            }
            continue;
        }
        if (c == u'"') {
            inArgument = true;
            if (quoted && i + 1 < n && text[i + 1] == u'"') {
                current += u'"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        if (isBlank(c) && !quoted) {
            if (inArgument) {
                out << current;
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        current += c;
        inArgument = true;
        ++i;
    }
    if (inArgument)
        out << current;
    return out;
}

CommandLine parseCommandLine(const QString& commandLine)
{
    CommandLine result;
    qsizetype start = 0;
    while (start < commandLine.size() && isBlank(commandLine[start]))
        ++start;
    const QString line = commandLine.mid(start);

    if (line.startsWith(u'"')) {
        const qsizetype close = line.indexOf(u'"', 1);
        const QString name = close < 0 ? line.mid(1) : line.mid(1, close - 1);
        const QString rest = close < 0 ? QString() : line.mid(close + 1);
        const auto found = findExecutable(name);
        result.executable = found.value_or(name);
        result.found = found.has_value();
        result.arguments = splitArguments(rest);
        return result;
    }

    // Shortest prefix ending at a blank first, then the whole line.
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && !isBlank(line[i]))
            continue;
        const QString name = line.left(i);
        if (name.isEmpty() || (i > 0 && isBlank(line[i - 1])))
            continue;
        if (const auto found = findExecutable(name)) {
            result.executable = *found;
            result.found = true;
            result.arguments = splitArguments(line.mid(i));
            return result;
        }
    }
    // Nothing runs: report the first token.
    qsizetype end = 0;
    while (end < line.size() && !isBlank(line[end]))
        ++end;
    result.executable = line.left(end);
    result.arguments = splitArguments(line.mid(end));
    return result;
}

} // namespace quillmer::platform
