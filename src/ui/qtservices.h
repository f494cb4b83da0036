#pragma once

#include "errors/services.h"

class QWidget;

namespace quillmer::ui {

// Modal QMessageBox captioned with ApplicationTitle, its text plain text.
class QtMessageBox : public MessageBoxService
{
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    MessageAnswer show(const QString& text, MessageIcon icon, MessageButtons buttons) override;

private:
    QWidget* m_parent;
};

// The application-wide override cursor.
class CursorPointer : public PointerService
{
public:
    void setBusy() override;
    void setDefault() override;
};

} // namespace quillmer::ui
