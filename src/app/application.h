#pragma once

#include "errors/errorhandler.h"
#include "settings/registry.h"
#include "settings/settingsfile.h"
#include "settings/startupsettings.h"
#include "ui/frmmain.h"
#include "ui/qtservices.h"

#include <QString>

#include <memory>

namespace quillmer::app {

// The program: its services, its stores and its windows, wired together
// once. Nothing here is global.
class Application
{
public:
    explicit Application(QString programFolder);

    // Runs the start-up sequence; false when the program must end now.
    bool StartApplication();

private:
    QString m_programFolder;
    ui::QtMessageBox m_messages;
    ui::CursorPointer m_pointer;
    ErrorHandler m_errors;
    SettingsFile m_settings;
    Registry m_registry;
    StartupSettings m_startup;
    std::unique_ptr<ui::FrmMain> m_main;
};

} // namespace quillmer::app
