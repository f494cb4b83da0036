#pragma once

#include "engine/pipeline.h"
#include "frontend/batchrun.h"

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

} // namespace quillmer::ui
