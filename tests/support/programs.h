#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace quillmer::test {

// What a program the tests run left behind.
struct ProgramRun
{
    QByteArray output;      // its standard output
    bool succeeded = false; // it ended in time by itself with exit code 0
};

// Runs a program to its end, or for timeoutMs at the most (-1: no limit).
inline ProgramRun runProgram(const QString& program, const QStringList& arguments,
                             int timeoutMs = -1)
{
    QProcess p;
    p.start(program, arguments);
    const bool ended = p.waitForFinished(timeoutMs);
    if (!ended) {
        p.kill();
        p.waitForFinished(-1);
    }
    ProgramRun run;
    run.output = p.readAllStandardOutput();
    run.succeeded = ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return run;
}

} // namespace quillmer::test
