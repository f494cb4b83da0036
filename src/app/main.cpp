#include "app/application.h"
#include "platform/brokenpipes.h"
#include "settings/programfolders.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    quillmer::platform::ignoreBrokenPipes();
    // Command-line arguments change nothing: Qt sees only the program's name.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication qapp(qtArgc, argv);
    // The window's colours are designed for Fusion, whatever the desktop's style.
    QApplication::setStyle(QStringLiteral("Fusion"));
    quillmer::app::Application app(
        quillmer::findProgramFolders(QCoreApplication::applicationDirPath()));
    if (!app.StartApplication())
        return 1;
    return qapp.exec();
}
