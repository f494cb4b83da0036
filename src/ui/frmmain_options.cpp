// The main window's handlers for the job list, the Browse buttons and the
// conversion options. Each hands over to the library that holds the rule.
#include "errors/trap.h"
#include "frontend/optionrules.h"
#include "ui/frmmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace quillmer::ui {

void FrmMain::cmdSelectFile_Click()
{
    m_selection->cmdSelectFile_Click();
}

void FrmMain::cmdBrowseOutput_Click()
{
    m_selection->cmdBrowseOutput_Click();
}

void FrmMain::cmdAddToList_Click()
{
    m_jobHandlers->cmdAddToList_Click();
}

void FrmMain::cmdClearList_Click()
{
    m_jobHandlers->cmdClearList_Click();
}

// The page-range handlers ignore any failure inside them.
void FrmMain::chkAllPages_Click()
{
    ignoreFailures([&] {
        m_context.startup.ConvertPageFrom = 0;
        lblFrom->setEnabled(false);
        txtFrom->setEnabled(false);
        txtTo->setEnabled(false);
    });
}

void FrmMain::chkFromTo_Click()
{
    ignoreFailures([&] {
        txtFrom->setEnabled(true);
        txtTo->setEnabled(true);
    });
}

void FrmMain::chkOpenDocEditing_Click()
{
    ignoreFailures([&] {
        m_context.startup.Launch =
            launchAfterClick(m_context.startup.Launch, chkOpenDocEditing->isChecked());
    });
}

void FrmMain::txtFrom_KeyPress(qint16& keyAscii)
{
    keyAscii = qint16(quillmer::txtFrom_KeyPress(txtFrom->text(), char16_t(keyAscii)));
}

void FrmMain::txtTo_KeyPress(qint16& keyAscii)
{
    keyAscii = qint16(quillmer::txtTo_KeyPress(txtTo->text(), char16_t(keyAscii)));
}

int FrmMain::checkValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

ConversionOptions FrmMain::currentOptions() const
{
    ConversionOptions o;
    o.paperSize = cboPaperSize->currentText();
    o.landscape = optLandscape->isChecked();
    o.scale = txtAdjust->text();
    o.showGridlines = checkValue(chkShowGridlines);
    o.showHeaders = checkValue(chkHeader);
    o.allPages = chkAllPages->isChecked();
    o.firstPage = txtFrom->text();
    o.lastPage = txtTo->text();
    o.openAfterConversion = checkValue(chkOpenDocEditing);
    return o;
}

} // namespace quillmer::ui
