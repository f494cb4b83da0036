#pragma once

#include <QRect>
#include <span>

namespace quillmer::ui {

// The kinds of control the main window is made of.
enum class ControlKind
{
    Panel,    // QWidget
    Frame,    // QGroupBox, captioned
    Label,    // QLabel
    TextBox,  // QLineEdit
    Button,   // QPushButton
    Option,   // QRadioButton
    CheckBox, // QCheckBox
    ListView, // QTreeView, the job list
    DropDown, // QComboBox
    Picture,  // ClickablePicture; the text is its tool tip
    Line      // LineControl, a one-pixel rule
};

// The fonts of the design.
enum class ControlFont
{
    Default,    // MS Sans Serif 8.25
    FrameTitle, // MS Sans Serif 8.25 bold
    Verdana,    // Verdana 8.25
    ArialBold,  // Arial 8.25 bold
    Caption     // MS Sans Serif 13.5 bold
};

// One control of the main window as designed: its object name, its kind,
// the control it lies on, its design-time text and its place in twips.
struct DesignedControl
{
    const char* name;
    ControlKind kind;
    const char* container; // "frmMain" for the window itself
    const char* text;      // caption, text, or a picture's tool tip
    int left, top, width, height;
    ControlFont font = ControlFont::Default;
    int maxLength = 32767;         // text boxes
    bool checked = false;          // option buttons and check boxes
    const char* picture = nullptr; // pictures: the built-in picture
};

// Every control of the main window, each after the control it lies on, in
// the order they are made.
std::span<const DesignedControl> designedControls();

// Design geometry is in twips, 15 to a pixel.
QRect designGeometry(const DesignedControl& control);

} // namespace quillmer::ui
