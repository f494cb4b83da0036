#include "jobs/selection.h"

#include "errors/trap.h"

#include <QFileInfo>

#include <utility>

namespace quillmer {

namespace {
const QString BrowseLabel = QStringLiteral("frmMain:cmdBrowse");
const QString Settings = QStringLiteral("SETTINGS");
} // namespace

SourceTargetSelection::SourceTargetSelection(PathBoxes& boxes, FileDialogService& dialogs,
                                             MessageBoxService& messages, ErrorHandler& errors,
                                             SettingsFile& settings, StartupSettings& startup,
                                             QString programFolder)
    : m_boxes(boxes), m_dialogs(dialogs), m_messages(messages), m_errors(errors),
      m_settings(settings), m_startup(startup), m_programFolder(std::move(programFolder))
{
    m_saveRequest.mode = FileDialogRequest::Mode::Save;
    m_saveRequest.title = QStringLiteral("Save As");
    m_saveRequest.filter = QStringLiteral("PDF File (*.pdf)|*.pdf");
    m_saveRequest.confirmOverwrite = true;
    m_saveRequest.pathMustExist = true;
}

bool SourceTargetSelection::hasExtension(const QString& path, const QString& ext)
{
    return path.right(4).toLower() == ext;
}

QString SourceTargetSelection::proposedTarget(const QString& source)
{
    return source.left(qMax<qsizetype>(0, source.size() - 4)) + QStringLiteral(".pdf");
}

FileDialogRequest SourceTargetSelection::sourceRequest() const
{
    FileDialogRequest r;
    r.mode = FileDialogRequest::Mode::Open;
    r.title = QStringLiteral("Select Source File");
    QString start = m_startup.RecentFolder.isEmpty() ? m_programFolder : m_startup.RecentFolder;
    // After a first choice RecentFolder is a file's full path: start in its folder.
    if (QFileInfo(start).isFile())
        start = QFileInfo(start).absolutePath();
    r.initialFolder = start;
    r.filter = QStringLiteral("Microsoft Excel (*.xls)|*.xls");
    r.maxFileNameLength = 4096;
    r.hideReadOnly = true;
    r.pathMustExist = true;
    return r;
}

void SourceTargetSelection::cmdSelectFile_Click()
{
    Trap trap(m_errors, BrowseLabel);
    std::optional<QString> chosen;
    if (!trap.step([&] { chosen = m_dialogs.ask(sourceRequest()); }))
        return;
    if (!chosen)
        return; // cancelled: nothing changes, nothing is said
    const QString path = *chosen;
    if (!trap.step([&] { m_startup.RecentFolder = path; }))
        return;
    if (!trap.step([&] { m_settings.WriteIniValue(Settings, QStringLiteral("PATH"), path); }))
        return;
    if (!hasExtension(path, QStringLiteral(".xls"))) {
        m_messages.show(invalidSourceMessage(), MessageIcon::Critical);
        m_boxes.setSourceText(QString());
        return;
    }
    if (!trap.step([&] { m_boxes.setSourceText(path); }))
        return;
    trap.step([&] { m_boxes.setTargetText(proposedTarget(path)); });
}

void SourceTargetSelection::cmdBrowseOutput_Click()
{
    Trap trap(m_errors, BrowseLabel);
    const bool goOn = trap.step([&] {
        const qsizetype slash = m_startup.RecentOutputFolder.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            throw AppError(err::InvalidCall); // no folder part to start in
        m_saveRequest.initialFolder = m_startup.RecentOutputFolder.left(slash);
    });
    if (!goOn)
        return;
    std::optional<QString> chosen;
    if (!trap.step([&] { chosen = m_dialogs.ask(m_saveRequest); }))
        return;
    if (!chosen)
        return;
    const QString path = *chosen;
    if (!hasExtension(path, QStringLiteral(".pdf"))) {
        m_messages.show(invalidTargetMessage(), MessageIcon::Critical);
        return;
    }
    if (!trap.step([&] { m_boxes.setTargetText(path); }))
        return;
    if (!trap.step([&] { m_startup.RecentOutputFolder = path; }))
        return;
    trap.step([&] { m_settings.WriteIniValue(Settings, QStringLiteral("OUTPUTPATH"), path); });
}

} // namespace quillmer
