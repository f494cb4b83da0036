#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

namespace quillmer::cli {

// The exit codes of quillmer-convert.
namespace exitcode {
inline constexpr int Done = 0;   // every job converted or was skipped
inline constexpr int Failed = 1; // a job failed (or the batch could not start)
inline constexpr int Usage = 2;  // a usage error: nothing was converted
} // namespace exitcode

struct CommandResult
{
    int exitCode = exitcode::Done;
    int signal = 0; // the signal that stopped the batch, if one did
};

// quillmer-convert: arguments without the program name; registry.reg is read
// from programFolder; relative paths are relative to workingDir. Progress
// goes to out (a bar when terminal), refusals and errors to err.
CommandResult runConvertCommand(const QStringList& arguments, const QString& programFolder,
                                const QString& workingDir, std::FILE* out, std::FILE* err,
                                bool terminal);

} // namespace quillmer::cli
