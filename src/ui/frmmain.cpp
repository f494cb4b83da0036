#include "ui/frmmain.h"

#include "errors/services.h"

namespace quillmer::ui {

FrmMain::FrmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(ApplicationTitle);
    setFixedSize(658, 460);
}

} // namespace quillmer::ui
