#pragma once

#include "cli/batchjobs.h"
#include "engine/conversionoptions.h"
#include "frontend/commandconversion.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace quillmer::cli {

// What the command line of quillmer-convert asks for.
struct CommandOptions
{
    JobSources sources;
    // --as-window: the window's conversion with the window's options (print
    // road, the first sheet's page set-up written); PDFs are never opened.
    bool asWindow = false;
    ConversionOptions print;
    // Otherwise the command's own conversion.
    CommandRequest request;
    int workers = 1;
    std::chrono::milliseconds timeout{120000};
    int shardIndex = 0;
    int shardCount = 1;
    bool skipExisting = false;
    bool freshOffice = false;
    QString report; // empty: none
};

struct ParsedCommand
{
    std::optional<CommandOptions> options; // none: help, or a refusal
    QString refusal;                       // a usage error, for exit code 2
    QString help;                          // --help was given: the text
};

// Reads the arguments (without the program name). Bad values are refused
// with the window's own messages where the window has the same rule (the
// page and scale boxes) and with the command's own otherwise; two options
// that contradict each other are refused naming both. The password file is
// read here, once. Relative paths are relative to workingDir.
ParsedCommand parseCommand(const QStringList& arguments, const QString& workingDir);

// The window's checks of its page and scale boxes, in the window's order:
// its message for the first box refused, or nothing.
std::optional<QString> windowRefusal(const ConversionOptions& print);

} // namespace quillmer::cli
