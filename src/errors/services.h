#pragma once

#include <QString>

namespace quillmer {

// The caption of the main window and of every message box.
inline const QString ApplicationTitle = QStringLiteral("Quillmer - Excel to PDF Converter");

enum class MessageIcon
{
    None,
    Information,
    Critical,
    Question
};
enum class MessageButtons
{
    Ok,
    YesNo
};
enum class MessageAnswer
{
    Ok,
    Yes,
    No
};

// A modal message box captioned with ApplicationTitle. The GUI shows a real
// box; tests answer with a fake.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    virtual MessageAnswer show(const QString& text, MessageIcon icon,
                               MessageButtons buttons = MessageButtons::Ok) = 0;
};

// The screen-wide mouse pointer: busy (hourglass) or default.
class PointerService
{
public:
    virtual ~PointerService() = default;
    virtual void setBusy() = 0;
    virtual void setDefault() = 0;
};

// The desktop shell's "open": hands a file (a path) or a web address to the
// user's default program for it and does not wait. Whether that worked is
// not examined.
class DocumentShell
{
public:
    virtual ~DocumentShell() = default;
    virtual void ShellOpen(const QString& target) = 0;
};

// Ends the whole program at once: no window event and no handler runs after
// it. Callers return straight after the call, so that a test's recording
// stand-in leaves them in the state the real end would.
class ProgramExit
{
public:
    virtual ~ProgramExit() = default;
    virtual void EndProgram() = 0;
};

} // namespace quillmer
