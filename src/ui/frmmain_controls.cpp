// The main window's controls, made from the design's table.
#include "office/papersizes.h"
#include "ui/controllayout.h"
#include "ui/controls.h"
#include "ui/frmmain.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

namespace quillmer::ui {

namespace {

void setDesignBackground(QWidget* w, QPalette::ColorRole role)
{
    QPalette palette = w->palette();
    palette.setColor(role, DesignBackColor);
    w->setPalette(palette);
    if (role == QPalette::Window)
        w->setAutoFillBackground(true);
}

QFont fontOf(ControlFont font)
{
    switch (font) {
    case ControlFont::Default:
        return designFont(QStringLiteral("MS Sans Serif"), 8.25, false);
    case ControlFont::FrameTitle:
        return designFont(QStringLiteral("MS Sans Serif"), 8.25, true);
    case ControlFont::Verdana:
        return designFont(QStringLiteral("Verdana"), 8.25, false);
    case ControlFont::ArialBold:
        return designFont(QStringLiteral("Arial"), 8.25, true);
    case ControlFont::Caption:
        return designFont(QStringLiteral("MS Sans Serif"), 13.5, true);
    }
    return {};
}

template <typename T> T* choice(QWidget* parent, const DesignedControl& design)
{
    auto* c = new T(parent);
    c->setText(QString::fromUtf8(design.text));
    c->setChecked(design.checked);
    // Check boxes and option buttons carry their container's colour; drawn
    // transparent, they show the frame's shading as their own background.
    QPalette palette = c->palette();
    palette.setColor(QPalette::Window, DesignBackColor);
    c->setPalette(palette);
    return c;
}

// One control as designed, on parent.
QWidget* makeControl(QWidget* parent, const DesignedControl& design)
{
    const QString text = QString::fromUtf8(design.text);
    QWidget* w = nullptr;
    switch (design.kind) {
    case ControlKind::Panel:
        w = new QWidget(parent);
        setDesignBackground(w, QPalette::Window);
        break;
    case ControlKind::Frame: {
        auto* f = new QGroupBox(text, parent);
        setDesignBackground(f, QPalette::Window);
        w = f;
        break;
    }
    case ControlKind::Label:
        w = new QLabel(text, parent);
        break;
    case ControlKind::TextBox: {
        auto* t = new QLineEdit(text, parent);
        t->setMaxLength(design.maxLength);
        w = t;
        break;
    }
    case ControlKind::Button: {
        auto* b = new QPushButton(text, parent);
        b->setAutoDefault(false);
        setDesignBackground(b, QPalette::Button);
        w = b;
        break;
    }
    case ControlKind::Option:
        w = choice<QRadioButton>(parent, design);
        break;
    case ControlKind::CheckBox:
        w = choice<QCheckBox>(parent, design);
        break;
    case ControlKind::ListView:
        w = new QTreeView(parent);
        break;
    case ControlKind::DropDown:
        w = new QComboBox(parent);
        break;
    case ControlKind::Picture: {
        auto* p = new ClickablePicture(parent);
        p->setPixmap(builtInPicture(QString::fromLatin1(design.picture)));
        p->setToolTip(text);
        w = p;
        break;
    }
    case ControlKind::Line:
        w = new LineControl(parent);
        break;
    }
    w->setObjectName(QLatin1String(design.name));
    w->setGeometry(designGeometry(design));
    if (design.kind != ControlKind::Panel && design.kind != ControlKind::Picture &&
        design.kind != ControlKind::Line)
        w->setFont(fontOf(design.font));
    return w;
}

} // namespace

template <typename T> void FrmMain::bind(T*& member, const char* name)
{
    member = findChild<T*>(QLatin1String(name));
    Q_ASSERT(member);
}

void FrmMain::createControls()
{
    setFont(fontOf(ControlFont::Default));
    setDesignBackground(this, QPalette::Window);
    QHash<QByteArray, QWidget*> made{{"frmMain", this}};
    for (const DesignedControl& design : designedControls())
        made.insert(design.name, makeControl(made.value(design.container), design));

    bind(picMain, "picMain");
    bind(Image1, "Image1");
    bind(Frame2, "Frame2");
    bind(Label12, "Label12");
    bind(txtfilepath, "txtfilepath");
    bind(cmdSelectFile, "cmdSelectFile");
    bind(Label11, "Label11");
    bind(txtfilepathOutput, "txtfilepathOutput");
    bind(cmdBrowseOutput, "cmdBrowseOutput");
    bind(cmdAddToList, "cmdAddToList");
    bind(cmdClearList, "cmdClearList");
    bind(lvwGeneral, "lvwGeneral");
    bind(Frame1, "Frame1");
    bind(optPotrait, "optPotrait");
    bind(optLandscape, "optLandscape");
    bind(Label3, "Label3");
    bind(txtAdjust, "txtAdjust");
    bind(Label6, "Label6");
    bind(Label8, "Label8");
    bind(cboPaperSize, "cboPaperSize");
    bind(chkShowGridlines, "chkShowGridlines");
    bind(chkHeader, "chkHeader");
    bind(Frame3, "Frame3");
    bind(chkAllPages, "chkAllPages");
    bind(chkFromTo, "chkFromTo");
    bind(Label4, "Label4");
    bind(txtFrom, "txtFrom");
    bind(Label2, "Label2");
    bind(txtTo, "txtTo");
    bind(lblFrom, "lblFrom");
    bind(chkOpenDocEditing, "chkOpenDocEditing");
    bind(Line3, "Line3");
    bind(cmdConvert, "cmdConvert");
    bind(cmdExit, "cmdExit");
    bind(lblCaption, "lblCaption");
    bind(cmdHomeLink, "cmdHomeLink");
    bind(cmdContactUs, "cmdContactUs");
    bind(cmdHelp, "cmdHelp");

    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFrom->hide();
    lvwGeneral->setRootIsDecorated(false);
    lvwGeneral->setItemsExpandable(false);
    lvwGeneral->setUniformRowHeights(true);
    lvwGeneral->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwGeneral->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_jobList = new JobList(this);
    lvwGeneral->setModel(m_jobList);
    lvwGeneral->setColumnWidth(0, 110);
    lvwGeneral->setColumnWidth(1, 195);
    lvwGeneral->setColumnWidth(2, 195);
    cboPaperSize->addItems(office::paperSizeNames());

    // The theme does not touch these: they keep their own colours, whatever
    // their containers get.
    for (QWidget* w :
         std::initializer_list<QWidget*>{txtfilepath, txtfilepathOutput, txtAdjust, txtFrom, txtTo,
                                         cboPaperSize, Label3, Label8, lblCaption})
        keepOwnColors(w);
    QPalette caption = lblCaption->palette();
    caption.setColor(QPalette::WindowText, CaptionColor);
    lblCaption->setPalette(caption);

    QWidget* const tabOrder[] = {
        txtfilepath,  cmdSelectFile,     txtfilepathOutput, cmdBrowseOutput,
        cmdAddToList, cmdClearList,      lvwGeneral,        optPotrait,
        optLandscape, txtAdjust,         cboPaperSize,      chkShowGridlines,
        chkHeader,    chkAllPages,       chkFromTo,         txtFrom,
        txtTo,        chkOpenDocEditing, cmdConvert,        cmdExit};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

} // namespace quillmer::ui
