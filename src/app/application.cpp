#include "app/application.h"

#include "app/startup.h"

#include <utility>

namespace quillmer::app {

Application::Application(QString programFolder)
    : m_programFolder(std::move(programFolder)), m_errors(m_messages, m_pointer),
      m_settings(m_programFolder, m_messages, m_errors),
      m_registry(m_programFolder + QStringLiteral("/registry.reg"))
{
}

bool Application::StartApplication()
{
    if (!PassStartupChecks(m_settings, m_registry, m_messages))
        return false;
    m_startup = LoadStartupSettings(m_settings, m_programFolder);
    m_main = std::make_unique<ui::FrmMain>();
    m_main->show();
    return true;
}

} // namespace quillmer::app
