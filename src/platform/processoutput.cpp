// A started program's standard output, read until it ends or a deadline
// passes: the one place the program's pipes are polled.
#include "platform/failure.h"
#include "platform/process.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace quillmer::platform {

void Process::drainOutput(const QDeadlineTimer& deadline,
                          const std::function<void(QByteArrayView)>& take)
{
    char buffer[64 * 1024];
    while (m_output >= 0) {
        pollfd p{m_output, POLLIN, 0};
        const qint64 left = deadline.remainingTime(); // -1: no deadline
        if (left == 0) {
            closeOutput();
            throw Failure(QStringLiteral("no answer within the time limit"));
        }
        if (::poll(&p, 1, int(left < 0 ? -1 : qMin<qint64>(left, INT_MAX))) <= 0)
            continue; // interrupted, or the deadline is looked at again
        const ssize_t n = ::read(m_output, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            closeOutput();
            throw Failure(QStringLiteral("cannot read a program's output (%1)")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
        if (n == 0)
            closeOutput();
        else
            take(QByteArrayView(buffer, n));
    }
}

QByteArray Process::collectOutput(const QDeadlineTimer& deadline, qsizetype maxBytes)
{
    QByteArray data;
    try {
        drainOutput(deadline, [&](QByteArrayView piece) {
            if (data.size() + piece.size() > maxBytes)
                throw Failure(QStringLiteral("a program wrote more than %1 bytes").arg(maxBytes));
            data.append(piece);
        });
        if (!wait(deadline.remainingTime()))
            throw Failure(QStringLiteral("no answer within the time limit"));
    } catch (const Failure&) {
        // Ended, so that nothing of it outlives the failure.
        closeOutput();
        signal(SIGKILL);
        wait(-1);
        throw;
    }
    if (exitCode() != 0)
        throw Failure(QStringLiteral("a program ended with code %1").arg(exitCode().value_or(-1)));
    return data;
}

} // namespace quillmer::platform
