#pragma once

#include "jobs/filedialog.h"

class QWidget;

namespace quillmer::ui {

// Modal QFileDialog for the Browse buttons.
class QtFileDialog : public FileDialogService
{
public:
    explicit QtFileDialog(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    std::optional<QString> ask(const FileDialogRequest& request) override;

private:
    QWidget* m_parent;
};

} // namespace quillmer::ui
