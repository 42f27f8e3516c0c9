// Renders the exam dialog in the middle of a scan on the simulated calvimetro, with two
// scans of the day already in the list, into the PNG file named on the command line.
//
//   shot_examdlg docs/exam-dialog.png
#include "ExamTestSupport.h"
#include "TestProfile.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QSlider>

using namespace ExamTest;

int main(int argc, char *argv[])
{
    TestProfile profile;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc < 2) {
        qWarning("usage: shot_examdlg OUTPUT.png");
        return 2;
    }
    useSimulatedScanner();
    int status = 1;
    {
        ExamRig rig;
        ExamDlg *dlg = rig.dlg.get();
        dlg->setWindowState(Qt::WindowNoState);
        dlg->resize(1054, 697);
        if (!rig.show())
            return 1;
        ExamDriver &d = *rig.driver;
        const auto setFat = [&d](double mm) {
            CalvimetroProfile profile = d.sim()->profile();
            profile.fatMm = mm;
            d.sim()->setProfile(profile);
        };
        setFat(9.0);
        if (!d.scan(260, QStringLiteral("Coscia dx")))
            return 1;
        QTest::qWait(1100);
        setFat(14.0);
        if (!d.scan(300, QStringLiteral("Vita")))
            return 1;
        dlg->ui->edWeight->setValue(62.4);
        dlg->ui->edHeight->setValue(167.0);
        dlg->ui->slActivityLevel->setValue(2);

        // A new scan, caught while the probe moves, with a mark on it.
        setFat(11.0);
        d.sim()->setBlockRate(300);
        QSignalSpy started(dlg->ui->scan, &ScanWidget::onStartScan);
        d.sim()->pressButton();
        if (!started.wait(kWaitMs))
            return 1;
        if (!QTest::qWaitFor([&] { return d.area()->scanLines().size() >= 150; }, kWaitMs))
            return 1;
        QTest::keyClick(dlg, Qt::Key_M);
        if (!QTest::qWaitFor([&] { return d.area()->scanLines().size() >= 330; }, kWaitMs))
            return 1;
        QTest::qWait(50);
        const QImage shot = dlg->grab().toImage();
        const bool scanning = d.status()->text() == QStringLiteral("Scanning...");
        auto dropZone = answerZone(QString());
        d.sim()->releaseButton();
        if (!QTest::qWaitFor([&] { return dropZone->handled(); }, kWaitMs))
            qWarning("the zone question did not come");
        if (scanning && shot.save(QString::fromLocal8Bit(argv[1])))
            status = 0;
        else
            qWarning("no picture taken (scanning: %d)", int(scanning));
    }
    return status;
}
