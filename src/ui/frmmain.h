#pragma once

#include "engine/conversionoptions.h"
#include "engine/conversionservices.h"
#include "engine/pipeline.h"
#include "errors/errorhandler.h"
#include "errors/services.h"
#include "frontend/batchrun.h"
#include "frontend/conversionsession.h"
#include "jobs/filedialog.h"
#include "jobs/jobhandlers.h"
#include "jobs/joblist.h"
#include "jobs/selection.h"
#include "settings/programfolders.h"
#include "settings/settingsfile.h"
#include "settings/startupsettings.h"
#include "ui/links.h"
#include "ui/programend.h"

#include <QString>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace quillmer::ui {

class ClickablePicture;
class LineControl;

// What the main window works with, handed in by whoever makes it. The later
// parts of the program add their stores and services here.
struct MainWindowContext
{
    ProgramFolders folders;   // SETTINGS.INI's folder; the pictures' and the help's
    StartupSettings& startup; // read and assigned by the window's handlers
    MessageBoxService& messages;
    PointerService& pointer;
    ErrorHandler& errors;
    DocumentShell& shell; // the help and web pages, the finished PDFs
    ProgramExit& ender;
    SettingsFile& settings;        // SETTINGS.INI, where the Browse buttons remember
    FileDialogService& dialogs;    // the open and save dialogs
    ConversionServices conversion; // what the Convert button drives
};

// frmMain, the program's one working window. It builds its controls as
// designed (object names as in the design, twips / 15 = pixels), paints its
// theme, runs its load and activate sequences and asks before the program
// ends. The behaviour of the job list, the file choice, the options and the
// conversion lives in their own libraries; the handlers below hand over to
// them.
class FrmMain : public QWidget, public ConversionOptionsSource
{
    Q_OBJECT
public:
    explicit FrmMain(const MainWindowContext& context, QWidget* parent = nullptr);
    ~FrmMain() override;

    // Paints the background and the foreground theme; each step that fails
    // is skipped. DoForeColorChange ends with SetImages.
    void DoColorChange(const QString& sBackColor);
    void DoForeColorChange(const QString& sForeColor);
    // Loads the four pictures from the images folder in their order and
    // throws at the first one that cannot be loaded.
    void SetImages();

    static QString exitQuestion();

    // The job list the window shows; the only store of jobs.
    JobList& jobList() { return *m_jobList; }
    // The options as the controls show them now.
    ConversionOptions currentOptions() const override;
    // A check box's value: 0 clear, 1 ticked, 2 greyed.
    static int checkValue(const QCheckBox* box);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Window events.
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload(QCloseEvent* event);
    void Form_Unload();

    // The Browse buttons (source and target selection).
    virtual void cmdSelectFile_Click();
    virtual void cmdBrowseOutput_Click();
    // The job list's buttons.
    virtual void cmdAddToList_Click();
    virtual void cmdClearList_Click();
    // Local files and folders dropped on the job list or the window around it.
    virtual void lvwGeneral_OLEDragDrop(const QStringList& paths);
    // The batch run: converts every job of the list.
    virtual void cmdConvert_Click();
    // The page-range and open-after options. The load and activate sequences
    // raise the three click handlers as a user's click would. A key handler
    // drops the character by setting the code to 0.
    virtual void chkAllPages_Click();
    virtual void chkFromTo_Click();
    virtual void chkOpenDocEditing_Click();
    virtual void txtFrom_KeyPress(qint16& keyAscii);
    virtual void txtTo_KeyPress(qint16& keyAscii);

    void cmdExit_Click();
    void cmdHelp_Click();
    void cmdHomeLink_Click();
    void cmdContactUs_Click();

    MainWindowContext m_context;

    // The controls, named as designed.
    QWidget* picMain = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lblCaption = nullptr;
    ClickablePicture* cmdHomeLink = nullptr;
    ClickablePicture* cmdContactUs = nullptr;
    ClickablePicture* cmdHelp = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label12 = nullptr;
    QLineEdit* txtfilepath = nullptr;
    QPushButton* cmdSelectFile = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* txtfilepathOutput = nullptr;
    QPushButton* cmdBrowseOutput = nullptr;
    QPushButton* cmdAddToList = nullptr;
    QPushButton* cmdClearList = nullptr;
    QTreeView* lvwGeneral = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* optPotrait = nullptr;
    QRadioButton* optLandscape = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtAdjust = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* cboPaperSize = nullptr;
    QCheckBox* chkShowGridlines = nullptr;
    QCheckBox* chkHeader = nullptr;
    QGroupBox* Frame3 = nullptr;
    QRadioButton* chkAllPages = nullptr;
    QRadioButton* chkFromTo = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txtFrom = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtTo = nullptr;
    QLabel* lblFrom = nullptr; // hidden; enabled together with txtFrom
    QCheckBox* chkOpenDocEditing = nullptr;
    LineControl* Line3 = nullptr;
    QPushButton* cmdConvert = nullptr;
    QPushButton* cmdExit = nullptr;

private:
    void createControls();
    template <typename T> void bind(T*& member, const char* name);
    void createConversion();
    void wireControls();
    void createDrop();
    // Setting a value in code raises the click handler, as a click would.
    void selectOption(QRadioButton* option);
    void deselectOption(QRadioButton* option);
    void setCheckValue(QCheckBox* box, bool checked);
    void pressDefaultButton();
    MessageAnswer askExitQuestion();
    QWidget* control(const char* name);

    bool m_loaded = false;
    JobList* m_jobList = nullptr; // a child of the window
    std::unique_ptr<PathBoxes> m_pathBoxes;
    std::unique_ptr<JobHandlers> m_jobHandlers;
    std::unique_ptr<SourceTargetSelection> m_selection;
    // The Convert button's batch run and the conversion it calls per job.
    std::unique_ptr<ConvertBoxes> m_convertBoxes;
    std::unique_ptr<JobStatusSink> m_jobStatus;
    std::unique_ptr<ConversionSession> m_conversion;
};

} // namespace quillmer::ui
