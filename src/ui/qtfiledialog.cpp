#include "ui/qtfiledialog.h"

#include <QFileDialog>

namespace quillmer::ui {

std::optional<QString> QtFileDialog::ask(const FileDialogRequest& request)
{
    QFileDialog dialog(m_parent, request.title, request.initialFolder);
    const bool save = request.mode == FileDialogRequest::Mode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The source need not exist yet; neither dialog adds an extension.
    dialog.setFileMode(QFileDialog::AnyFile);
    // "Description (*.ext)|*.ext": Qt takes the description with its pattern.
    dialog.setNameFilter(request.filter.section(QLatin1Char('|'), 0, 0));
    // The read-only check box and short names have no counterpart here.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace quillmer::ui
