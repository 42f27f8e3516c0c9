// Renders the exam dialog in the middle of a scan on the simulated calvimetro, with two
// scans of the day already in the list, into the PNG file named on the command line.
//
//   shot_examdlg docs/exam-dialog.png
#include "ShotSupport.h"

#include "device/SimulatedCalvimetro.h"
#include "exam/ui_ExamDlg.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "store/Client.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace Shots;

int main(int argc, char *argv[])
{
    Profile profile;
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc < 2) {
        qWarning("usage: shot_examdlg OUTPUT.png");
        return 2;
    }
    // The dialog never reaches a service.
    useNoService();
    Client client;
    saveClient(client, QStringLiteral("Rossi"), QStringLiteral("Giulia"), QStringLiteral("F"), 34, 10, 166.5, 58.2);
    ExamDlg dlg;
    if (!showExamDialog(dlg, &client))
        return 1;
    ExamScanner d(&dlg);
    d.setFat(9.0);
    if (!d.scan(260, QStringLiteral("Coscia dx")))
        return 1;
    QTest::qWait(1100);  // a scan of the next second
    d.setFat(14.0);
    if (!d.scan(300, QStringLiteral("Vita")))
        return 1;
    dlg.ui->edWeight->setValue(62.4);
    dlg.ui->edHeight->setValue(167.0);
    dlg.ui->slActivityLevel->setValue(2);

    // A new scan, caught while the probe moves, with a mark on it.
    d.setFat(11.0);
    d.sim()->setBlockRate(300);
    QSignalSpy started(dlg.ui->scan, &ScanWidget::onStartScan);
    d.sim()->pressButton();
    if (!started.wait(kWaitMs))
        return 1;
    if (!QTest::qWaitFor([&] { return d.area()->scanLines().size() >= 150; }, kWaitMs))
        return 1;
    QTest::keyClick(&dlg, Qt::Key_M);
    if (!QTest::qWaitFor([&] { return d.area()->scanLines().size() >= 330; }, kWaitMs))
        return 1;
    QTest::qWait(50);
    const QImage shot = dlg.grab().toImage();
    const bool scanning = d.status()->text() == QStringLiteral("Scanning...");
    // The scan ends unnamed.
    auto dropZone = answerZone(QString());
    d.sim()->releaseButton();
    if (!QTest::qWaitFor([&] { return dropZone->handled(); }, kWaitMs))
        qWarning("the zone question did not come");
    if (!scanning || !shot.save(QString::fromLocal8Bit(argv[1]))) {
        qWarning("no picture taken (scanning: %d)", int(scanning));
        return 1;
    }
    return 0;
}
