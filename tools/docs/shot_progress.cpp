// Renders the exam dialog's "Andamento" page for a client with four exam days on the
// simulated calvimetro (three sweeps of two zones on the latest, one of the third) into
// the PNG file named on the command line; with a second name, also the client's report
// (PDF) from the same readings, whose first page becomes docs/report-page.png:
//
//   shot_progress docs/progress-tab.png /tmp/report.pdf
//   pdftoppm -png -r 60 -f 1 -l 1 -singlefile /tmp/report.pdf docs/report-page
#include "ShotSupport.h"

#include "exam/ProgressTab.h"
#include "exam/ReportPdf.h"
#include "exam/ui_ExamDlg.h"
#include "store/Client.h"

#include <QApplication>
#include <QChartView>
#include <QLabel>
#include <QTabBar>
#include <QTest>

using namespace Shots;

int main(int argc, char *argv[])
{
    Profile profile;
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc < 2) {
        qWarning("usage: shot_progress OUTPUT.png");
        return 2;
    }
    // No account: the page shows the scans of this computer only.
    useNoService();
    Client client;
    saveClient(client, QStringLiteral("Conti"), QStringLiteral("Lucia"), QStringLiteral("F"), 39, 20, 168.0, 63.5);
    const QString folder = client.getDataPath(true);
    // Four exams three weeks apart, the fat going down; the latest has repeated sweeps.
    const struct
    {
        const char *zone;
        double fatMm[4];
        int repeats;
    } zones[] = {{"Vita", {19.0, 17.5, 16.5, 15.0}, 3}, {"Coscia dx", {16.0, 15.5, 15.5, 14.5}, 3}, {"Fianco dx", {13.0, 12.5, 12.0, 11.0}, 1}};
    for (int day = 0; day < 4; ++day) {
        const QDate date = QDate::currentDate().addDays(21 * (day - 3));
        int minute = 0;
        for (const auto &zone : zones) {
            for (int sweep = 0; sweep < (day == 3 ? zone.repeats : 1); ++sweep) {
                const QString base = QStringLiteral("%1-%2--10-%3-00")
                                         .arg(QLatin1String(zone.zone), date.toString(QStringLiteral("yyyyMMdd")))
                                         .arg(minute++, 2, 10, QLatin1Char('0'));
                writeSimulatedSweep(folder, base, zone.fatMm[day] + 0.2 * sweep, 420, {});
            }
        }
    }

    ExamDlg dlg;
    if (!showExamDialog(dlg, &client))
        return 1;
    QTabBar *tabs = dlg.ui->tabWidget->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(3).center());
    if (!QTest::qWaitFor([&] { return dlg.progressTab->findChildren<QChartView *>().size() == 3; }, kWaitMs)) {
        qWarning("the progress charts did not show");
        return 1;
    }
    QTest::qWait(300);
    if (!dlg.grab().toImage().save(QString::fromLocal8Bit(argv[1]))) {
        qWarning("no picture taken");
        return 1;
    }
    if (argc > 2) {
        ReportClient identity;
        identity.name = client.surname + QLatin1Char(' ') + client.name;
        identity.birthday = client.birthday;
        identity.heightCm = client.height;
        identity.weightKg = client.weight;
        QString error;
        if (!ReportPdf::write(QString::fromLocal8Bit(argv[2]), identity, dlg.progressTab->readings(), &error)) {
            qWarning("no report written: %s", qPrintable(error));
            return 1;
        }
    }
    return 0;
}
