// quillmer-convert: the window's conversion for whole batches, from the
// command line.
#include "cli/command.h"
#include "platform/brokenpipes.h"
#include "settings/programfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <unistd.h>

int main(int argc, char** argv)
{
    quillmer::platform::ignoreBrokenPipes();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillmer-convert"));
    const quillmer::ProgramFolders folders =
        quillmer::findProgramFolders(QCoreApplication::applicationDirPath());
    if (!folders.problem.isEmpty())
        std::fprintf(stderr, "quillmer-convert: %s\n", qUtf8Printable(folders.problem));
    const quillmer::cli::CommandResult result = quillmer::cli::runConvertCommand(
        app.arguments().mid(1), folders.program, QDir::currentPath(), stdout, stderr,
        ::isatty(STDOUT_FILENO) == 1);
    if (result.signal) {
        // Stopped cleanly: end by the signal, as the caller expects of a
        // program it interrupted.
        std::fflush(nullptr);
        std::signal(result.signal, SIG_DFL);
        std::raise(result.signal);
    }
    return result.exitCode;
}
