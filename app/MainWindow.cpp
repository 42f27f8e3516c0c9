#include "app/MainWindow.h"

#include "app/AppInfo.h"
#include "app/AppSettings.h"

#include <QLabel>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    resize(1024, 720);
    auto *welcome = new QLabel(tr("Benvenuto in Calvestra"), this);
    welcome->setObjectName(QStringLiteral("lbWelcome"));
    welcome->setAlignment(Qt::AlignCenter);
    setCentralWidget(welcome);
    updateTitle();
}

void MainWindow::updateTitle()
{
    QString title = AppInfo::applicationName + QLatin1Char(' ') + AppInfo::version;
    const QString user = AppSettings::userName();
    if (!user.isEmpty())
        title += QStringLiteral(" - ") + user;
    setWindowTitle(title);
}
