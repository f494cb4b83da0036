#pragma once

#include "app/frmsplash.h"
#include "engine/conversionservices.h"
#include "errors/errorhandler.h"
#include "platform/windowfinder.h"
#include "settings/programfolders.h"
#include "settings/registry.h"
#include "settings/settingsfile.h"
#include "settings/startupsettings.h"
#include "ui/frmmain.h"
#include "ui/links.h"
#include "ui/programend.h"
#include "ui/qtfiledialog.h"
#include "ui/qtservices.h"

#include <QString>
#include <memory>

namespace quillmer::app {

// The program: its services, its stores and its windows, wired together
// once. Nothing here is global.
class Application : public SplashHost
{
public:
    // folders.program holds SETTINGS.INI and registry.reg, folders.files the
    // pictures and the help.
    explicit Application(ProgramFolders folders);
    ~Application() override;

    // The entry procedure: the two start-up checks, then the splash window,
    // whose timers drive the program from the event loop. False when no
    // window is open and the program must end now.
    bool StartApplication();

    void LoadStartupSettings() override;
    void ShowMainWindow() override;

private:
    ProgramFolders m_folders;
    ui::QtMessageBox m_messages;
    ui::CursorPointer m_pointer;
    ErrorHandler m_errors;
    SettingsFile m_settings;
    Registry m_registry;
    StartupSettings m_startup;
    std::unique_ptr<platform::WindowFinder> m_finder;
    ui::DesktopShell m_shell;
    ui::ProcessEnder m_ender;
    ui::QtFileDialog m_dialogs;
    InstalledConversionServices m_conversion;
    std::unique_ptr<FrmSplash> m_splash;
    std::unique_ptr<ui::FrmMain> m_main;
};

} // namespace quillmer::app
