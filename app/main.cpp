#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "app/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Startup::prepareProcess();
    QApplication app(argc, argv);
    Startup::applyWindowIcon();

    LanguageInstaller languages;
    languages.install(AppSettings::lang());

    int exitCode = 0;
    {
        MainWindow window;
        window.show();
        exitCode = app.exec();
    }
    return exitCode;
}
