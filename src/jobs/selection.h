#pragma once

#include "errors/errorhandler.h"
#include "jobs/filedialog.h"
#include "jobs/jobhandlers.h"
#include "settings/settingsfile.h"
#include "settings/startupsettings.h"

namespace quillmer {

// The two Browse buttons: choosing a source workbook (which also proposes a
// target beside it) and choosing a target PDF. Both remember the last choice
// in StartupSettings and in SETTINGS.INI.
class SourceTargetSelection
{
public:
    SourceTargetSelection(PathBoxes& boxes, FileDialogService& dialogs, MessageBoxService& messages,
                          ErrorHandler& errors, SettingsFile& settings, StartupSettings& startup,
                          QString programFolder);

    // Source "Browse": the chosen path is remembered (RecentFolder and PATH)
    // before it is checked, so a refused path is remembered too; a path not
    // ending in ".xls" empties the source box.
    void cmdSelectFile_Click();
    // Target "Browse": only a path ending in ".pdf" is taken and remembered
    // (RecentOutputFolder and OUTPUTPATH); a refusal changes nothing.
    void cmdBrowseOutput_Click();

    // The requests the two dialogs are shown with, as things stand.
    FileDialogRequest sourceRequest() const;
    FileDialogRequest targetRequest() const { return m_saveRequest; }

    static QString invalidSourceMessage()
    {
        return QStringLiteral("Invalid file selected. Please select valid Excel file only.");
    }
    static QString invalidTargetMessage()
    {
        return QStringLiteral("Invalid Output file. Please select valid PDF file.");
    }
    // Whether a path ends in ext (".xls", ".pdf"), without regard to case.
    static bool hasExtension(const QString& path, const QString& ext);
    // The proposed target of a source: its last four characters become ".pdf".
    static QString proposedTarget(const QString& source);

private:
    PathBoxes& m_boxes;
    FileDialogService& m_dialogs;
    MessageBoxService& m_messages;
    ErrorHandler& m_errors;
    SettingsFile& m_settings;
    StartupSettings& m_startup;
    QString m_programFolder;
    // The save dialog keeps its settings from one use to the next.
    FileDialogRequest m_saveRequest;
};

} // namespace quillmer
