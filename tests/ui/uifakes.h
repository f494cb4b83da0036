#pragma once

#include "errors/apperror.h"
#include "ui/links.h"
#include "ui/programend.h"

#include <QList>
#include <QUrl>

namespace quillmer::test {

// Records what the window hands to the desktop; can refuse or fail.
class RecordingShell : public ui::ShellOpener
{
public:
    bool open(const QUrl& target) override
    {
        opened.append(target);
        if (throwing)
            throw AppError(err::FileNotFound);
        return accepting;
    }

    QList<QUrl> opened;
    bool accepting = true;
    bool throwing = false;
};

// Records the end of the program instead of ending the test.
class RecordingEnder : public ui::ProgramEnder
{
public:
    void EndProgram() override { ++ends; }
    int ends = 0;
};

} // namespace quillmer::test
