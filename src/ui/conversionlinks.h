#pragma once

#include "engine/pipeline.h"
#include "frontend/batchrun.h"
#include "ui/links.h"
#include "ui/programend.h"

class QLineEdit;

namespace quillmer::ui {

// The page and scale boxes of the main window for the batch run. A box that
// is disabled or hidden cannot take the focus: error 5, as the design's
// controls raise it.
class LineEditConvertBoxes : public ConvertBoxes
{
public:
    LineEditConvertBoxes(QLineEdit* from, QLineEdit* to, QLineEdit* adjust)
        : m_from(from), m_to(to), m_adjust(adjust)
    {
    }
    QString text(Box box) const override;
    void setFocus(Box box) override;

private:
    QLineEdit* edit(Box box) const;

    QLineEdit* m_from;
    QLineEdit* m_to;
    QLineEdit* m_adjust;
};

// The desktop's "open" for the finished PDF.
class ShellDocument : public DocumentShell
{
public:
    explicit ShellDocument(ShellOpener& shell) : m_shell(shell) {}
    void ShellOpen(const QString& path) override;

private:
    ShellOpener& m_shell;
};

// "End the program at once" for a conversion that finds no Ghostscript.
class EnderExit : public ProgramExit
{
public:
    explicit EnderExit(ProgramEnder& ender) : m_ender(ender) {}
    void EndProgram() override { m_ender.EndProgram(); }

private:
    ProgramEnder& m_ender;
};

} // namespace quillmer::ui
