#include "ui/controllayout.h"

#include <QtGlobal>

namespace quillmer::ui {

namespace {

using K = ControlKind;
using F = ControlFont;

// The banner lies on the panel, under the frame that covers its foot; Frame3
// lies over the lower left of Frame2, beside Frame1. lblFrom is hidden.
constexpr DesignedControl Controls[] = {
    {"picMain", K::Panel, "frmMain", "", 0, -30, 10500, 7500},
    {"Image1", K::Label, "picMain", "", 0, 0, 3495, 1785},
    {"Frame2", K::Frame, "picMain", "Select File:", 180, 1260, 9555, 4755, F::FrameTitle},
    {"Label12", K::Label, "Frame2", "Select Source File:", 120, 210, 1605, 195, F::Verdana},
    {"txtfilepath", K::TextBox, "Frame2", "", 180, 420, 7725, 345, F::Verdana},
    {"cmdSelectFile", K::Button, "Frame2", "&Browse", 8010, 420, 1125, 315, F::ArialBold},
    {"Label11", K::Label, "Frame2", "Select Target Location:", 120, 810, 1980, 195, F::Verdana},
    {"txtfilepathOutput", K::TextBox, "Frame2", "", 150, 1020, 7755, 345, F::Verdana},
    {"cmdBrowseOutput", K::Button, "Frame2", "B&rowse", 8010, 1020, 1125, 315, F::ArialBold},
    {"cmdAddToList", K::Button, "Frame2", "&Add To List", 6930, 1560, 1125, 315, F::ArialBold},
    {"cmdClearList", K::Button, "Frame2", "C&lear List", 8190, 1560, 1125, 315, F::ArialBold},
    {"lvwGeneral", K::ListView, "Frame2", "", 120, 1920, 9210, 1260},
    {"Frame1", K::Frame, "Frame2", "Print Size", 2580, 3240, 3405, 1245},
    {"optPotrait", K::Option, "Frame1", "Potrait", 180, 210, 1155, 285, F::Verdana, 0, true},
    {"optLandscape", K::Option, "Frame1", "Landscape", 1320, 210, 1365, 255, F::Verdana},
    {"Label3", K::Label, "Frame1", "Adjust", 240, 570, 540, 195, F::Verdana},
    {"txtAdjust", K::TextBox, "Frame1", "100", 870, 540, 645, 285, F::Verdana, 3},
    {"Label6", K::Label, "Frame1", "%", 1560, 600, 240, 225, F::Verdana},
    {"Label8", K::Label, "Frame1", "Paper Size:", 210, 960, 990, 195, F::Verdana},
    {"cboPaperSize", K::DropDown, "Frame1", "", 1350, 900, 1515, 315},
    {"chkShowGridlines", K::CheckBox, "Frame2", "Show Gridlines", 6150, 3390, 2025, 225, F::Verdana,
     0, true},
    {"chkHeader", K::CheckBox, "Frame2", "Show Headers", 6150, 3690, 3075, 225, F::Verdana},
    {"Frame3", K::Frame, "picMain", "Print Range", 270, 4500, 2385, 1245},
    {"chkAllPages", K::Option, "Frame3", "All Pages", 150, 210, 1155, 285, F::Verdana, 0, true},
    {"chkFromTo", K::Option, "Frame3", "Select Page Range", 150, 510, 1965, 255, F::Verdana},
    {"Label4", K::Label, "Frame3", "From", 420, 810, 435, 195, F::Verdana},
    {"txtFrom", K::TextBox, "Frame3", "1", 960, 780, 435, 285, F::Verdana, 3},
    {"Label2", K::Label, "Frame3", "To", 1440, 810, 210, 195, F::Verdana},
    {"txtTo", K::TextBox, "Frame3", "2", 1770, 780, 465, 285, F::Verdana, 3},
    {"lblFrom", K::Label, "Frame3", "xsd", 0, 0, 0, 0, F::Verdana},
    {"chkOpenDocEditing", K::CheckBox, "picMain", "Open File After Conversion", 6330, 5580, 2955,
     195, F::Verdana, 0, true},
    // The rule from (90, 6270) to (9780, 6270).
    {"Line3", K::Line, "picMain", "", 90, 6270, 9705, 15},
    {"cmdConvert", K::Button, "picMain", "&Convert", 7230, 6480, 1125, 315, F::ArialBold},
    {"cmdExit", K::Button, "picMain", "C&lose", 8520, 6480, 1125, 315, F::ArialBold},
    {"lblCaption", K::Label, "picMain", "XL Ver 2007", 4290, 630, 1740, 360, F::Caption},
    {"cmdHomeLink", K::Picture, "picMain", "OrvPDF Home Page", 7050, 300, 1125, 1125, F::Default, 0,
     false, "home.gif"},
    {"cmdContactUs", K::Picture, "picMain", "Contact Us", 8025, 330, 1155, 1125, F::Default, 0,
     false, "contact.gif"},
    {"cmdHelp", K::Picture, "picMain", "Help", 8940, 330, 1140, 1125, F::Default, 0, false,
     "faq.gif"},
};

} // namespace

std::span<const DesignedControl> designedControls()
{
    return Controls;
}

QRect designGeometry(const DesignedControl& control)
{
    const auto px = [](int t) { return qRound(t / 15.0); };
    return QRect(px(control.left), px(control.top), px(control.width), px(control.height));
}

} // namespace quillmer::ui
