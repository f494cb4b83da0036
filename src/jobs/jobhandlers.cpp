#include "jobs/jobhandlers.h"

#include "errors/trap.h"

namespace quillmer {

JobHandlers::JobHandlers(JobList& list, PathBoxes& boxes, MessageBoxService& messages,
                         ErrorHandler& errors)
    : m_list(list), m_boxes(boxes), m_messages(messages), m_errors(errors)
{
}

void JobHandlers::AddCompleteListView()
{
    if (!AddCompleteListView(m_boxes.sourceText(), m_boxes.targetText()))
        m_messages.show(duplicateMessage(), MessageIcon::Information);
}

bool JobHandlers::AddCompleteListView(const QString& source, const QString& target)
{
    if (m_list.containsFileName(JobList::fileNameOf(source)))
        return false;
    m_list.append(source, target);
    return true;
}

void JobHandlers::cmdAddToList_Click()
{
    if (m_boxes.sourceText().trimmed().isEmpty()) {
        m_messages.show(noSourceMessage(), MessageIcon::Information);
        return;
    }
    Trap trap(m_errors, QStringLiteral("frmMain:cmdAddToList_Click"));
    if (!trap.step([&] { AddCompleteListView(); }) || trap.lastError())
        return;
    m_boxes.setSourceText(QString());
    m_boxes.setTargetText(QString());
}

void JobHandlers::cmdClearList_Click() noexcept
{
    m_list.clear();
}

} // namespace quillmer
