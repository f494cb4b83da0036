#pragma once

#include "jobs/jobhandlers.h"

#include <QLineEdit>

namespace quillmer::ui {

// The main window's two path boxes as the job list and the Browse buttons
// see them.
class LineEditPathBoxes : public PathBoxes
{
public:
    LineEditPathBoxes(QLineEdit* source, QLineEdit* target) : m_source(source), m_target(target) {}
    QString sourceText() const override { return m_source->text(); }
    void setSourceText(const QString& text) override { m_source->setText(text); }
    QString targetText() const override { return m_target->text(); }
    void setTargetText(const QString& text) override { m_target->setText(text); }

private:
    QLineEdit* m_source;
    QLineEdit* m_target;
};

} // namespace quillmer::ui
