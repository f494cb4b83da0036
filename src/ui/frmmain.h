#pragma once

#include <QWidget>

namespace quillmer::ui {

// The main window.
class FrmMain : public QWidget
{
    Q_OBJECT
public:
    explicit FrmMain(QWidget* parent = nullptr);
};

} // namespace quillmer::ui
