#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <sys/types.h>
#include <unistd.h>

namespace quillmer::test {

// A process that is still there (a zombie has ended).
inline bool processRuns(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text[close + 2] != 'Z' && text[close + 2] != 'X';
}

// Running LibreOffice processes of a program (this process by default):
// those whose command line names one of the private profiles the host makes
// for it ($TMPDIR/quillmer-office-<pid>-...), whoever their parent is.
inline QList<pid_t> ourOfficeProcesses(pid_t program = ::getpid())
{
    QList<pid_t> found;
    const QByteArray needle = "quillmer-office-" + QByteArray::number(program) + '-';
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok || pid == ::getpid())
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(needle) &&
            processRuns(pid))
            found << pid;
    }
    return found;
}

} // namespace quillmer::test
