#include "ui/links.h"

#include <QDesktopServices>

namespace quillmer::ui {

void DesktopShell::ShellOpen(const QString& target)
{
    // An absolute path becomes a file address; a web address stays as it is.
    QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

QUrl helpPageUrl(const QString& programFolder)
{
    return QUrl::fromLocalFile(programFolder + QStringLiteral("/help/QuillmerExcel.html"));
}

QUrl homePageUrl()
{
    return QUrl(VendorSiteAddress + QStringLiteral("/index.aspx"));
}

QUrl feedbackPageUrl()
{
    return QUrl(VendorSiteAddress + QStringLiteral("/frm_feedback.aspx?pg=1"));
}

} // namespace quillmer::ui
