#pragma once

// Recording stand-ins for what the conversion engine hands to the desktop.
#include "engine/pipeline.h"

#include <QStringList>

namespace quillmer::test {

// Records the PDFs the engine asks the desktop to open.
class RecordingDocumentShell : public DocumentShell
{
public:
    void ShellOpen(const QString& path) override { opened << path; }
    QStringList opened;
};

// Records the end of the program instead of ending the test.
class RecordingProgramExit : public ProgramExit
{
public:
    void EndProgram() override { ++calls; }
    int calls = 0;
};

} // namespace quillmer::test
