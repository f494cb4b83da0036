#pragma once

#include "errors/services.h"

#include <QString>
#include <QUrl>

namespace quillmer::ui {

// QDesktopServices::openUrl, which runs the desktop's xdg-open; never a shell.
class DesktopShell : public DocumentShell
{
public:
    void ShellOpen(const QString& target) override;
};

// The vendor's web site.
inline const QString VendorSiteAddress = QStringLiteral("http://www.quillmer.example");

// The help page beside the program.
QUrl helpPageUrl(const QString& programFolder);
// The vendor's home page and feedback page.
QUrl homePageUrl();
QUrl feedbackPageUrl();

} // namespace quillmer::ui
