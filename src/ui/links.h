#pragma once

#include <QString>
#include <QUrl>

namespace quillmer::ui {

// The desktop shell's "open": hands a document or an address to the user's
// default program and does not wait for it. The result tells whether the
// desktop took the request; callers may ignore it.
class ShellOpener
{
public:
    virtual ~ShellOpener() = default;
    virtual bool open(const QUrl& target) = 0;
};

// QDesktopServices::openUrl, which runs the desktop's xdg-open; never a shell.
class DesktopShellOpener : public ShellOpener
{
public:
    bool open(const QUrl& target) override;
};

// The vendor's web site.
inline const QString VendorSiteAddress = QStringLiteral("http://www.quillmer.example");

// The help page beside the program.
QUrl helpPageUrl(const QString& programFolder);
// The vendor's home page and feedback page.
QUrl homePageUrl();
QUrl feedbackPageUrl();

} // namespace quillmer::ui
