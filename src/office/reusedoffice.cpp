#include "office/reusedoffice.h"

#include "office/officeinstance.h"

#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>

namespace quillmer::office {

namespace {

// How long a kept office may take to show it still answers.
constexpr std::chrono::milliseconds AnswerLimit{5000};

// Whether the office has a document open (a workbook the job left behind).
bool holdsDocument(OfficeInstance& office)
{
    try {
        const std::chrono::milliseconds saved = office.timeLimit();
        office.setTimeLimit(AnswerLimit);
        const bool open = office.run(QString(), [&] {
            const auto components = office.desktop()->getComponents();
            return !components.is() || components->createEnumeration()->hasMoreElements();
        });
        office.setTimeLimit(saved);
        return open;
    } catch (const AppError&) {
        // No answer is no proof that nothing is open: not reused.
        return true;
    }
}

} // namespace

ReusedOfficeHosts::ReusedOfficeHosts(QString registryPath, int jobsPerOffice,
                                     milliseconds timeLimit, bool prepareDriver)
    : m_fresh(std::move(registryPath), timeLimit), m_jobsPerOffice(jobsPerOffice),
      m_prepareDriver(prepareDriver)
{
}

ReusedOfficeHosts::~ReusedOfficeHosts()
{
    retire();
}

std::unique_ptr<SpreadsheetHost> ReusedOfficeHosts::create()
{
    // One that has died or hangs since its last job is replaced.
    if (m_office && !m_office->answers(AnswerLimit))
        retire();
    if (!m_office) {
        m_office = m_fresh.startInstance();
        m_served = 0;
    }
    ++m_served;
    // The job's printer driver starts while the office opens the workbook.
    if (m_prepareDriver && m_office->printers)
        m_office->printers->prepare();
    return std::make_unique<LibreOfficeHost>(
        m_office, [this, office = m_office.get()] { return keep(office); });
}

bool ReusedOfficeHosts::keep(const OfficeInstance* office)
{
    // A host on an office already replaced ends its own.
    if (office != m_office.get())
        return false;
    if (m_office->alive() && (m_jobsPerOffice <= 0 || m_served < m_jobsPerOffice) &&
        m_office->answers(AnswerLimit) && !holdsDocument(*m_office))
        return true;
    retire();
    return false;
}

void ReusedOfficeHosts::retire()
{
    if (const auto office = std::move(m_office))
        office->quit();
}

pid_t ReusedOfficeHosts::processId() const
{
    return m_office ? m_office->pid() : 0;
}

} // namespace quillmer::office
