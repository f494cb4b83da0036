// The main window's Convert button: the batch run over the window's job
// list, converting each job with the window's options.
#include "ui/conversionlinks.h"
#include "ui/frmmain.h"

namespace quillmer::ui {

void FrmMain::createConversion()
{
    m_convertBoxes = std::make_unique<LineEditConvertBoxes>(txtFrom, txtTo, txtAdjust);
    m_jobStatus = std::make_unique<JobListStatus>(*m_jobList);
    const ConversionServices& c = m_context.conversion;
    m_engine = std::make_unique<ConversionEngine>(PipelineContext{
        *this, *m_jobStatus, m_context.messages, m_context.errors, m_context.shell, m_context.ender,
        c.hosts, c.printers, c.runner, c.registry, c.version, c.scratch});
    m_batchRun = std::make_unique<BatchRun>(
        BatchRunContext{*m_convertBoxes, *m_pathBoxes, *m_jobList, *m_jobHandlers, *m_engine,
                        m_context.messages, m_context.pointer, m_context.errors});
}

void FrmMain::cmdConvert_Click()
{
    m_batchRun->cmdConvert_Click();
}

} // namespace quillmer::ui
