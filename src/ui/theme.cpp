#include "ui/theme.h"

#include "errors/apperror.h"
#include "ui/controls.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QPalette>
#include <QWidget>

#include <cmath>
#include <limits>

static void initBuiltInPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace quillmer::ui {

namespace {

LineControl* lineOf(QWidget* control)
{
    auto* line = qobject_cast<LineControl*>(control);
    if (!line)
        throw AppError(err::TypeMismatch);
    return line;
}

} // namespace

QColor colorFromColorRef(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong value = t.toLongLong(&ok, 10);
    if (!ok) {
        // Whole numbers may come with a fraction, rounded half to even.
        const double d = t.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            throw AppError(err::TypeMismatch);
        if (std::fabs(d) > 4e9)
            throw AppError(err::Overflow);
        value = static_cast<qlonglong>(std::nearbyint(d));
    }
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        throw AppError(err::Overflow);
    if (value < 0 || value > 0xFFFFFF)
        throw AppError(err::InvalidPropertyValue);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

const QList<ThemeTarget>& backColorTargets()
{
    static const QList<ThemeTarget> targets = {
        {"frmMain", ColorSlot::Window},
        {"chkAllPages", ColorSlot::Window},
        {"chkFromTo", ColorSlot::Window},
        {"chkOpenDocEditing", ColorSlot::Window},
        {"cmdConvert", ColorSlot::Button},
        {"cmdExit", ColorSlot::Button},
        {"cmdSelectFile", ColorSlot::Button},
        {"cmdAddToList", ColorSlot::Button},
        {"cmdClearList", ColorSlot::Button},
        {"Frame1", ColorSlot::Window},
        {"Frame2", ColorSlot::Window},
        {"Frame3", ColorSlot::Window},
        {"Label11", ColorSlot::Window},
        {"Label12", ColorSlot::Window},
        {"Label2", ColorSlot::Window},
        {"Label4", ColorSlot::Window},
        {"Label6", ColorSlot::Window},
        {"Line3", ColorSlot::Line},
        {"lvwGeneral", ColorSlot::List},
        {"picMain", ColorSlot::Window},
        {"chkShowGridlines", ColorSlot::Window},
        {"chkHeader", ColorSlot::Window},
        {"optLandscape", ColorSlot::Window},
        {"optPotrait", ColorSlot::Window},
        {"cmdBrowseOutput", ColorSlot::Button},
    };
    return targets;
}

const QList<ThemeTarget>& foreColorTargets()
{
    // The same controls in the same order; push buttons keep their text
    // colour.
    static const QList<ThemeTarget> targets = [] {
        QList<ThemeTarget> all = backColorTargets();
        all.removeIf([](const ThemeTarget& t) { return t.slot == ColorSlot::Button; });
        return all;
    }();
    return targets;
}

void setBackColor(QWidget* control, ColorSlot slot, const QColor& color)
{
    if (slot == ColorSlot::Line) {
        lineOf(control)->setBorderColor(color);
        return;
    }
    QPalette palette = control->palette();
    switch (slot) {
    case ColorSlot::Window: palette.setColor(QPalette::Window, color); break;
    case ColorSlot::Button: palette.setColor(QPalette::Button, color); break;
    case ColorSlot::List: palette.setColor(QPalette::Base, color); break;
    case ColorSlot::Line: break;
    }
    control->setPalette(palette);
}

void setForeColor(QWidget* control, ColorSlot slot, const QColor& color)
{
    if (slot == ColorSlot::Line) {
        lineOf(control)->setBorderColor(color);
        return;
    }
    // Disabled controls keep the style's grey text.
    const QPalette::ColorRole role = slot == ColorSlot::List ? QPalette::Text : QPalette::WindowText;
    QPalette palette = control->palette();
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
    control->setPalette(palette);
}

void keepOwnColors(QWidget* control)
{
    QPalette palette = control->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText, QPalette::Base,
                                     QPalette::Text, QPalette::Button, QPalette::ButtonText}) {
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, role, palette.color(group, role));
    }
    control->setPalette(palette);
}

const QList<PictureTarget>& pictureTargets()
{
    static const QList<PictureTarget> targets = {
        {"cmdHomeLink", "/images/home.gif"},
        {"cmdHelp", "/images/faq.gif"},
        {"Image1", "/images/quillmer.gif"},
        {"cmdContactUs", "/images/contact.gif"},
    };
    return targets;
}

QPixmap loadPicture(const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw AppError(err::FileNotFound);
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull())
        throw AppError(481, QStringLiteral("Invalid picture"));
    return QPixmap::fromImage(image);
}

QPixmap builtInPicture(const QString& fileName)
{
    static const bool ready = (initBuiltInPictures(), true);
    Q_UNUSED(ready);
    return QPixmap(QStringLiteral(":/images/") + fileName);
}

QString fontFamily(const QString& designFamily)
{
    if (QFontDatabase::hasFamily(designFamily))
        return designFamily;
    if (designFamily == QLatin1String("Verdana"))
        return QStringLiteral("DejaVu Sans");
    // MS Sans Serif has Arial's proportions; DejaVu Sans would not fit the
    // design's boxes.
    return QStringLiteral("Liberation Sans");
}

QFont designFont(const QString& designFamily, qreal pointSize, bool bold)
{
    QFont font(fontFamily(designFamily));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace quillmer::ui
