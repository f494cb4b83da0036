// The main window's Convert button: the batch run over the window's job
// list, converting each job with the window's options.
#include "ui/conversionlinks.h"
#include "ui/frmmain.h"

namespace quillmer::ui {

void FrmMain::createConversion()
{
    m_convertBoxes = std::make_unique<LineEditConvertBoxes>(txtFrom, txtTo, txtAdjust);
    m_jobStatus = std::make_unique<JobListStatus>(*m_jobList);
    m_conversion = std::make_unique<ConversionSession>(
        ConversionSessionContext{*this, *m_jobStatus, m_context.messages, m_context.errors,
                                 m_context.shell, m_context.ender, m_context.conversion},
        BatchRunControls{*m_convertBoxes, *m_pathBoxes, *m_jobList, *m_jobHandlers,
                         m_context.pointer});
}

void FrmMain::cmdConvert_Click()
{
    m_conversion->batchRun().cmdConvert_Click();
}

} // namespace quillmer::ui
