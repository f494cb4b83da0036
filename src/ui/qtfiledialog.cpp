#include "ui/qtfiledialog.h"

#include "ui/qtservices.h"

#include <QFileDialog>
#include <QFileInfo>

namespace quillmer::ui {

namespace {

// A file dialog that, when asked, stays open on a path whose folder does
// not exist, with a message, when the request says the path must exist.
class PathCheckingDialog : public QFileDialog
{
public:
    PathCheckingDialog(QWidget* parent, const QString& title, bool pathMustExist)
        : QFileDialog(parent, title), m_pathMustExist(pathMustExist)
    {
    }

    void accept() override
    {
        if (m_pathMustExist) {
            for (const QString& file : selectedFiles()) {
                const QFileInfo info(file);
                if (!info.isDir() && !QFileInfo(info.absolutePath()).isDir()) {
                    QtMessageBox(this).show(
                        tr("%1\nDirectory not found.\nPlease verify the correct directory "
                           "name was given.")
                            .arg(info.absolutePath()),
                        MessageIcon::Critical, MessageButtons::Ok);
                    return;
                }
            }
        }
        QFileDialog::accept();
    }

private:
    bool m_pathMustExist;
};

} // namespace

std::optional<QString> QtFileDialog::ask(const FileDialogRequest& request)
{
    PathCheckingDialog dialog(m_parent, request.title, request.pathMustExist);
    // The dialog starts in a folder and proposes no file name: a start that
    // names a file, or nothing that exists, starts in the folder above it.
    QFileInfo start(request.initialFolder);
    if (!request.initialFolder.isEmpty() && !start.isDir())
        start.setFile(start.absolutePath());
    if (!request.initialFolder.isEmpty() && start.isDir())
        dialog.setDirectory(start.absoluteFilePath());
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
