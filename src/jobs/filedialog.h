#pragma once

#include <QString>

#include <optional>

namespace quillmer {

// What a modal file dialog is asked to show.
struct FileDialogRequest
{
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    QString initialFolder;
    QString filter;            // "Description (*.ext)|*.ext"
    int maxFileNameLength = 0; // 0: the platform's default
    bool confirmOverwrite = false;
    bool pathMustExist = false;
    bool hideReadOnly = false;
};

// A modal open or save dialog. The GUI shows a QFileDialog; tests answer with
// a fake. The chosen path, or nothing when the user cancelled.
class FileDialogService
{
public:
    virtual ~FileDialogService() = default;
    virtual std::optional<QString> ask(const FileDialogRequest& request) = 0;
};

} // namespace quillmer
