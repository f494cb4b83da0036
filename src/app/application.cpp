#include "app/application.h"

#include "app/startup.h"
#include "errors/trap.h"
#include "platform/registrynames.h"
#include "platform/x11windowfinder.h"

#include <QGuiApplication>
#include <utility>

namespace quillmer::app {

Application::Application(ProgramFolders folders)
    : m_folders(std::move(folders)), m_errors(m_messages, m_pointer),
      m_settings(m_folders.program, m_messages, m_errors),
      m_registry(platform::registryFileIn(m_folders.program)),
      m_finder(platform::openDesktopWindowFinder(QGuiApplication::platformName())),
      m_ender([this] { m_conversion.endOffices(); }),
      m_conversion(platform::registryFileIn(m_folders.program))
{
    // The start-up check then says what is missing; this says why.
    if (!m_folders.problem.isEmpty())
        qWarning("Quillmer: %s", qUtf8Printable(m_folders.problem));
}

Application::~Application() = default;

bool Application::StartApplication()
{
    // A failure other than the two checks ends this procedure silently; the
    // program goes on only when the splash window is already up.
    bool splashShown = false;
    captureError([&] {
        if (!PassStartupChecks(m_settings, m_registry, m_messages))
            return;
        // The first conversion's office starts while the splash shows.
        m_conversion.prepare();
        m_splash = std::make_unique<FrmSplash>(*this, m_ender, *m_finder, m_errors);
        m_splash->show();
        splashShown = true;
    });
    return splashShown;
}

void Application::LoadStartupSettings()
{
    m_startup = quillmer::LoadStartupSettings(m_settings, m_folders.program);
}

void Application::ShowMainWindow()
{
    if (!m_main) {
        m_main = std::make_unique<ui::FrmMain>(
            ui::MainWindowContext{m_folders, m_startup, m_messages, m_pointer, m_errors, m_shell,
                                  m_ender, m_settings, m_dialogs, m_conversion.services()});
        m_messages.setParent(m_main.get());
        m_dialogs.setParent(m_main.get());
    }
    m_main->show();
}

} // namespace quillmer::app
