#pragma once

#include "errors/apperror.h"
#include "frontend/batchrun.h"

#include <QHash>
#include <QList>

namespace quillmer::test {

// The page and scale boxes of the window: their texts, whether they are
// enabled, and where the focus went. A disabled box refuses the focus with
// error 5, as the window's boxes do.
struct Boxes : ConvertBoxes
{
    QHash<Box, QString> texts{{Box::From, "1"}, {Box::To, "2"}, {Box::Adjust, "100"}};
    QHash<Box, bool> enabled{{Box::From, true}, {Box::To, true}, {Box::Adjust, true}};
    QList<Box> focused;

    QString text(Box box) const override { return texts.value(box); }
    void setFocus(Box box) override
    {
        if (!enabled.value(box))
            throw AppError(err::InvalidCall);
        focused << box;
    }
    // "All Pages": the two page boxes are disabled.
    void allPages()
    {
        enabled[Box::From] = false;
        enabled[Box::To] = false;
    }
};

} // namespace quillmer::test
