#include "app/application.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Command-line arguments change nothing.
    QApplication qapp(argc, argv);
    quillmer::app::Application app(QCoreApplication::applicationDirPath());
    if (!app.StartApplication())
        return 1;
    return qapp.exec();
}
