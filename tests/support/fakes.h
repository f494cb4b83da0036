#pragma once

#include "errors/services.h"
#include "jobs/filedialog.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

namespace quillmer::test {

// Answers message boxes at once and remembers what they said.
class FakeMessageBox : public MessageBoxService
{
public:
    struct Shown
    {
        QString text;
        MessageIcon icon;
        MessageButtons buttons;
    };

    MessageAnswer show(const QString& text, MessageIcon icon, MessageButtons buttons) override;

    // Answers for the next Yes/No boxes, in order; Yes once they run out.
    std::deque<MessageAnswer> answers;
    // Throw from show(), as a box that cannot be shown would.
    bool failing = false;
    QList<Shown> shown;

    QStringList texts() const;
};

class FakePointer : public PointerService
{
public:
    void setBusy() override
    {
        busy = true;
        ++busyCalls;
    }
    void setDefault() override;

    bool busy = false;
    int busyCalls = 0;
    int defaultCalls = 0;
    bool failing = false;
};

// Answers file dialogs with scripted paths (nothing is Cancel) and
// remembers what they were asked to show.
class FakeFileDialog : public FileDialogService
{
public:
    std::optional<QString> ask(const FileDialogRequest& request) override;

    std::deque<std::optional<QString>> answers; // Cancel once they run out
    QList<FileDialogRequest> asked;
};

// Records what is handed to the desktop to open; can fail as a desktop
// without a default program would.
class RecordingDocumentShell : public DocumentShell
{
public:
    void ShellOpen(const QString& target) override;
    QStringList opened;
    bool throwing = false;
};

// Records the end of the program instead of ending the test.
class RecordingProgramExit : public ProgramExit
{
public:
    void EndProgram() override { ++calls; }
    int calls = 0;
};

} // namespace quillmer::test
