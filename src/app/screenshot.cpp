// Draws the main window and the splash window as the program shows them and
// saves them as PNG files, for the README:
//
//     quillmer-screenshot PROGRAM_FOLDER OUTPUT_FOLDER [CORPUS_FOLDER]
//
// With a corpus folder it also converts three of its workbooks (two good,
// one broken) through the window's Convert button, with the real
// LibreOffice and Ghostscript, and draws the job list after the run.
//
// scripts/screenshot.sh runs it under Xvfb.
#include "app/frmsplash.h"
#include "platform/brokenpipes.h"
#include "platform/registrynames.h"
#include "ui/frmmain.h"
#include "ui/qtfiledialog.h"
#include "ui/qtservices.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace quillmer;

namespace {

class StillSplash : public app::SplashHost
{
public:
    void LoadStartupSettings() override {}
    void ShowMainWindow() override {}
};

// Nothing is opened and nothing ends while the pictures are taken.
class NoShell : public DocumentShell
{
public:
    void ShellOpen(const QString&) override {}
};

class NoEnd : public ProgramExit
{
public:
    void EndProgram() override {}
};

// The job messages of the run are answered at once and written out.
class AnsweringMessages : public MessageBoxService
{
public:
    MessageAnswer show(const QString& text, MessageIcon, MessageButtons) override
    {
        std::printf("message: %s\n", qPrintable(text));
        return MessageAnswer::Ok;
    }
};

bool save(QWidget& window, const QString& path)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    QTest::qWait(200);
    return window.grab().save(path, "PNG");
}

} // namespace

int main(int argc, char* argv[])
{
    quillmer::platform::ignoreBrokenPipes();
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER OUTPUT_FOLDER [CORPUS_FOLDER]\n", argv[0]);
        return 2;
    }
    QApplication qapp(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QString programFolder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QDir out(QString::fromLocal8Bit(argv[2]));

    ui::QtMessageBox messages;
    ui::CursorPointer pointer;
    ErrorHandler errors(messages, pointer);
    StartupSettings startup;
    NoShell shell;
    NoEnd ender;
    SettingsFile settings(programFolder, messages, errors);
    settings.CheckSettingsFile();
    ui::QtFileDialog dialogs;
    QTemporaryDir cache;
    InstalledConversionServices conversion(platform::registryFileIn(programFolder), cache.path());
    ui::FrmMain main(ui::MainWindowContext{ProgramFolders::oneFolder(programFolder), startup,
                                           messages, pointer, errors, shell, ender, settings,
                                           dialogs, conversion.services()});
    if (!save(main, out.filePath(QStringLiteral("main-window.png"))))
        return 1;
    main.hide();

    if (argc == 4) {
        const QDir corpus(QString::fromLocal8Bit(argv[3]));
        AnsweringMessages answers;
        ErrorHandler quietErrors(answers, pointer);
        QTemporaryDir reports(QDir::tempPath() + QStringLiteral("/Reports-XXXXXX"));
        ui::FrmMain run(ui::MainWindowContext{ProgramFolders::oneFolder(programFolder), startup,
                                              answers, pointer, quietErrors, shell, ender, settings,
                                              dialogs, conversion.services()});
        run.show();
        if (!QTest::qWaitForWindowExposed(&run))
            return 1;
        auto* source = run.findChild<QLineEdit*>(QStringLiteral("txtfilepath"));
        auto* target = run.findChild<QLineEdit*>(QStringLiteral("txtfilepathOutput"));
        for (const char* book : {"xls/poi_SampleSS.xls", "bad/edr_TestFail_Binary.xls",
                                 "xls/edr_TestUnicodeChars.xls"}) {
            const QString path = corpus.absoluteFilePath(QLatin1String(book));
            source->setText(path);
            target->setText(reports.filePath(QFileInfo(path).completeBaseName() + ".pdf"));
            run.findChild<QPushButton*>(QStringLiteral("cmdAddToList"))->click();
        }
        run.findChild<QPushButton*>(QStringLiteral("cmdConvert"))->click();
        if (!save(run, out.filePath(QStringLiteral("job-list.png"))))
            return 1;
    }

    StillSplash host;
    platform::NullWindowFinder finder;
    NoEnd splashEnder;
    app::FrmSplash splash(host, splashEnder, finder, errors);
    splash.show();
    splash.Unload(); // still the timers; the picture shows the splash a second and a half in
    splash.show();
    for (int i = 0; i < 15; ++i)
        splash.Timer3_Timer();
    for (int i = 0; i < 3; ++i)
        splash.Timer2_Timer();
    if (!save(splash, out.filePath(QStringLiteral("splash.png"))))
        return 1;
    return 0;
}
