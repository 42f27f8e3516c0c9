// Renders the picture of the comparison dialog used in the README: a client with scans
// of the simulated calvimetro on two days (the fat thinner on the second), compared side
// by side. Usage: shot_compare OUTPUT.png
#include "ShotSupport.h"

#include "scan/CompareScansDlg.h"
#include "scan/ScanViewerWidget.h"
#include "store/Client.h"
#include "store/DataModule.h"

#include <QApplication>
#include <QSlider>
#include <QTest>

int main(int argc, char *argv[])
{
    Shots::Profile profile;
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: shot_compare OUTPUT.png");
        return 2;
    }
    DataModule::instance();
    Client client;
    client.surname = QStringLiteral("Rossi");
    client.name = QStringLiteral("Maria");
    // Never sent to the service: the picture shows the local archive only.
    client.saveToDB(false, false);
    const QString folder = client.getDataPath(true);

    struct Sweep
    {
        const char *base;
        double fatMm;
        int lines;
        QList<int> marks;
    };
    const Sweep sweeps[] = {
        {"Addome-20240112--09-31-05", 21.0, 520, {180}},
        {"Coscia dx-20240112--09-36-40", 14.0, 480, {}},
        {"Vita-20240112--09-40-12", 18.0, 500, {}},
        {"Addome-20240418--17-45-30", 16.5, 540, {200}},
        {"Coscia dx-20240418--17-50-02", 12.0, 470, {}},
        {"Vita-20240418--17-53-48", 14.5, 510, {}},
    };
    for (const Sweep &sweep : sweeps)
        Shots::writeSimulatedSweep(folder, QString::fromUtf8(sweep.base), sweep.fatMm, sweep.lines, sweep.marks);

    CompareScansDlg dialog;
    dialog.resize(1360, 760);
    dialog.init(&client, QDate(2024, 4, 18), QStringLiteral("Addome-20240418--17-45-30"), svmLocal, svmLocal);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return 1;
    // The right side on the same zone of the first day, as an operator would pick it.
    QTest::qWait(200);
    dialog.rightViewer()->selectImage(0);
    if (auto *depth = dialog.findChild<QSlider *>(QStringLiteral("slDeepness")))
        depth->setValue(50);
    QTest::qWait(300);
    return dialog.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
