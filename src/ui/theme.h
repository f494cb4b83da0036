#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPixmap>
#include <QString>

class QWidget;

namespace quillmer::ui {

// The main window's one theme: a light green background with dark green
// text, as the decimal text of colour references (red in the lowest byte).
inline const QString ThemeBackColor = QStringLiteral("10543005"); // RGB 157, 223, 160
inline const QString ThemeForeColor = QStringLiteral("16384");    // RGB 0, 64, 0

// The background of the panel, frames, buttons and check boxes before the
// theme is applied.
inline const QColor DesignBackColor = QColor(239, 240, 244);
// The text colour of lblCaption.
inline const QColor CaptionColor = QColor(192, 0, 0);

// A colour reference as decimal text, converted afresh for every use.
// Throws AppError 13 for text that is not a number, 6 for a number beyond
// 32 bits and 380 for a number that is no colour.
QColor colorFromColorRef(const QString& text);

// Where a control keeps the colour the theme sets.
enum class ColorSlot {
    Window, // containers, labels, check boxes and option buttons
    Button, // push buttons (background only)
    List,   // the job list: its base and its text colour
    Line,   // a drawn rule: its border colour
};

struct ThemeTarget
{
    const char* control; // object name; "frmMain" is the window itself
    ColorSlot slot;
};

// The controls DoColorChange and DoForeColorChange paint, in their order.
const QList<ThemeTarget>& backColorTargets();
const QList<ThemeTarget>& foreColorTargets();

void setBackColor(QWidget* control, ColorSlot slot, const QColor& color);
void setForeColor(QWidget* control, ColorSlot slot, const QColor& color);
// Fixes the control's current text colours so that a colour set on a
// container does not reach it.
void keepOwnColors(QWidget* control);

struct PictureTarget
{
    const char* control;
    const char* file; // relative to the program folder
};

// The pictures SetImages loads, in its order.
const QList<PictureTarget>& pictureTargets();

// A picture from a file. Throws AppError 53 when the file is missing and
// 481 when it holds no picture that can be read.
QPixmap loadPicture(const QString& path);

// The built-in pictures (Qt resources).
QPixmap builtInPicture(const QString& fileName);

// The font the design names, or its metric-compatible stand-in where the
// named family is not installed: Liberation Sans for Arial and MS Sans Serif,
// DejaVu Sans for Verdana.
QString fontFamily(const QString& designFamily);
QFont designFont(const QString& designFamily, qreal pointSize, bool bold);

} // namespace quillmer::ui
