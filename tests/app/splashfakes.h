#pragma once

#include "app/frmsplash.h"
#include "errors/apperror.h"
#include "platform/windowfinder.h"
#include "support/fakes.h"

#include <QMap>
#include <QSet>
#include <QStringList>

namespace quillmer::test {

// Records what the splash window asks of the program.
class RecordingHost : public app::SplashHost
{
public:
    void LoadStartupSettings() override { ++loads; }
    void ShowMainWindow() override
    {
        ++mainShown;
        if (failShowingMain)
            throw AppError(err::Overflow);
    }

    int loads = 0;
    int mainShown = 0;
    bool failShowingMain = false;
};

// The splash window's services: fake boxes, a recording host and end.
struct SplashRig
{
    FakeMessageBox box;
    FakePointer pointer;
    ErrorHandler errors{box, pointer};
    RecordingHost host;
    RecordingProgramExit ender;
};

// A desktop whose windows and faults the test sets; it records each call.
class ScriptedFinder : public platform::WindowFinder
{
public:
    std::optional<platform::WindowHandle> findWindow(const QString& title) override
    {
        calls << QStringLiteral("find ") + title;
        if (failingLookups.contains(title))
            throw AppError(err::InvalidCall);
        if (!windows.contains(title))
            return std::nullopt;
        return windows.value(title);
    }
    bool isIconic(platform::WindowHandle window) override { return iconic.contains(window); }
    void restoreWindow(platform::WindowHandle window) override
    {
        calls << QStringLiteral("restore %1").arg(window);
    }
    void setForegroundWindow(platform::WindowHandle window) override
    {
        calls << QStringLiteral("foreground %1").arg(window);
    }
    void activateApplication(const QString& title) override
    {
        calls << QStringLiteral("activate ") + title;
        if (activationError != 0)
            throw AppError(activationError);
    }

    QMap<QString, platform::WindowHandle> windows;
    QSet<platform::WindowHandle> iconic;
    QSet<QString> failingLookups;
    qint32 activationError = 0;
    QStringList calls;
};

} // namespace quillmer::test
