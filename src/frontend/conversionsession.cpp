#include "frontend/conversionsession.h"

namespace quillmer {

namespace {

PipelineContext pipelineContext(const ConversionSessionContext& c)
{
    const ConversionServices& s = c.services;
    return PipelineContext{c.options, c.jobs,    c.messages,          c.errors, c.shell,
                           c.ender,   s.hosts,   s.printers,          s.runner, s.registry,
                           s.version, s.scratch, s.ghostscriptAnswers};
}

} // namespace

ConversionSession::ConversionSession(const ConversionSessionContext& context)
    : m_engine(pipelineContext(context)), m_command(context.services, context.ender)
{
}

ConversionSession::ConversionSession(const ConversionSessionContext& context,
                                     const BatchRunControls& controls)
    : ConversionSession(context)
{
    m_batchRun.emplace(BatchRunContext{controls.boxes, controls.paths, controls.list,
                                       controls.handlers, m_engine, context.messages,
                                       controls.pointer, context.errors});
}

} // namespace quillmer
