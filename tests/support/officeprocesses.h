#pragma once

// What /proc tells about the processes the tests start.
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QList>
#include <sys/types.h>
#include <unistd.h>

namespace quillmer::test {

inline QByteArray procFile(pid_t pid, const char* name)
{
    QFile f(QStringLiteral("/proc/%1/").arg(pid) + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A process that is still there (a zombie has ended).
inline bool processRuns(pid_t pid)
{
    const QByteArray text = procFile(pid, "stat");
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text[close + 2] != 'Z' && text[close + 2] != 'X';
}

// The parent of a process, 0 when it is gone.
inline pid_t parentOf(pid_t pid)
{
    const QByteArray text = procFile(pid, "stat");
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? pid_t(fields[1].toInt()) : 0;
}

// The environment a process started with.
inline QByteArrayList environmentOf(pid_t pid)
{
    return procFile(pid, "environ").split('\0');
}

// The running processes other than this one whose command line contains
// the needle and that pass the test.
template <typename Test> QList<pid_t> runningProcesses(const QByteArray& needle, Test&& passes)
{
    QList<pid_t> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (ok && pid != ::getpid() && procFile(pid, "cmdline").contains(needle) && passes(pid) &&
            processRuns(pid))
            found << pid;
    }
    return found;
}

inline QList<pid_t> runningProcesses(const QByteArray& needle)
{
    return runningProcesses(needle, [](pid_t) { return true; });
}

// Running LibreOffice processes of a program (this process by default):
// those whose command line names one of the private profiles the host makes
// for it ($TMPDIR/quillmer-office-<pid>-...), whoever their parent is.
inline QList<pid_t> ourOfficeProcesses(pid_t program = ::getpid())
{
    return runningProcesses("quillmer-office-" + QByteArray::number(program) + '-');
}

// Running printer drivers (Ghostscript's ps2write) that a program (this
// process by default) started itself.
inline QList<pid_t> printerDrivers(pid_t program = ::getpid())
{
    return runningProcesses("-sDEVICE=ps2write",
                            [program](pid_t pid) { return parentOf(pid) == program; });
}

} // namespace quillmer::test
