#include "ui/links.h"

#include <QDesktopServices>

namespace quillmer::ui {

bool DesktopShellOpener::open(const QUrl& target)
{
    return QDesktopServices::openUrl(target);
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
