#include "ui/conversionlinks.h"

#include "errors/apperror.h"

#include <QLineEdit>

namespace quillmer::ui {

QLineEdit* LineEditConvertBoxes::edit(Box box) const
{
    switch (box) {
    case Box::From:
        return m_from;
    case Box::To:
        return m_to;
    case Box::Adjust:
        break;
    }
    return m_adjust;
}

QString LineEditConvertBoxes::text(Box box) const
{
    return edit(box)->text();
}

void LineEditConvertBoxes::setFocus(Box box)
{
    QLineEdit* e = edit(box);
    if (!e->isEnabled() || !e->isVisibleTo(e->window()))
        throw AppError(err::InvalidCall);
    e->setFocus(Qt::OtherFocusReason);
}

} // namespace quillmer::ui
