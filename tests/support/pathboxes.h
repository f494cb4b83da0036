#pragma once

#include "jobs/jobhandlers.h"

namespace quillmer::test {

// The source and target path boxes of the window, as two strings.
struct PathBoxesInMemory : PathBoxes
{
    QString source, target;
    QString sourceText() const override { return source; }
    void setSourceText(const QString& t) override { source = t; }
    QString targetText() const override { return target; }
    void setTargetText(const QString& t) override { target = t; }
};

} // namespace quillmer::test
