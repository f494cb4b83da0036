#pragma once

// quillmer-convert run as a script runs it, from the program folder, and
// what it leaves: its output, its report, its processes.
#include "support/files.h"
#include "support/officeprocesses.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <functional>

namespace quillmer::test {

inline const QString ConvertCommand = QStringLiteral(QUILLMER_PROGRAM_DIR "/quillmer-convert");

struct CommandRun
{
    int exitCode = -1;
    bool crashed = false; // ended by a signal
    QString out, err;
    pid_t pid = 0;
};

// Runs the command in folder; whileRunning is called once it has started.
inline CommandRun runConvert(const QStringList& arguments, const QString& folder,
                             const std::function<void(QProcess&)>& whileRunning = {})
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(ConvertCommand, arguments);
    CommandRun run;
    if (!p.waitForStarted())
        return run;
    run.pid = pid_t(p.processId());
    if (whileRunning)
        whileRunning(p);
    p.waitForFinished(300000);
    run.exitCode = p.exitCode();
    run.crashed = p.exitStatus() == QProcess::CrashExit;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

// The records of a --report file.
inline QList<QJsonObject> reportRecords(const QString& report)
{
    QList<QJsonObject> out;
    for (const QByteArray& line : readFile(report).split('\n'))
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    return out;
}

inline QJsonObject recordOf(const QList<QJsonObject>& all, const QString& source)
{
    for (const QJsonObject& r : all)
        if (r["source"].toString() == source)
            return r;
    return {};
}

// Nothing of the run is left: no office, no Ghostscript (its command line
// names the scratch folder), no scratch folder.
inline void verifyNothingLeft(pid_t pid)
{
    QCOMPARE(ourOfficeProcesses(pid), QList<pid_t>());
    QCOMPARE(runningProcesses("quillmer-convert-" + QByteArray::number(pid) + '-'), QList<pid_t>());
    QCOMPARE(QDir(QDir::tempPath())
                 .entryList({QStringLiteral("quillmer-convert-%1-*").arg(pid)}, QDir::Dirs),
             QStringList());
}

} // namespace quillmer::test
