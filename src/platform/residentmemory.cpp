#include "platform/residentmemory.h"

#include <QByteArray>
#include <QFile>

namespace quillmer::platform {

std::optional<qint64> peakResidentKiB(pid_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("VmHWM:"))
            continue;
        bool ok = false;
        const qint64 kib = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
        if (ok)
            return kib;
    }
    return std::nullopt;
}

bool resetPeakResident(pid_t pid)
{
    if (pid <= 0)
        return false;
    QFile clear(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace quillmer::platform
