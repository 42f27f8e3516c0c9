#include "ShotSupport.h"

#include "app/AppSettings.h"
#include "app/Startup.h"
#include "cloud/HttpService.h"
#include "device/CalvimetroModel.h"
#include "device/CalvimetroProtocol.h"
#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"
#include "exam/ZoneChooserDialog.h"
#include "exam/ui_ExamDlg.h"
#include "scan/LayerReading.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "store/Client.h"
#include "store/DataModule.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

#include <vector>

namespace Shots {

Profile::Profile()
    : m_dir(QDir::tempPath() + QStringLiteral("/calvestra-shots-XXXXXX"))
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary profile");
    const auto place = [this](const char *variable, const char *sub) {
        const QString path = m_dir.filePath(QString::fromLatin1(sub));
        QDir().mkpath(path);
        qputenv(variable, path.toLocal8Bit());
    };
    place("XDG_CONFIG_HOME", "config");
    place("XDG_DATA_HOME", "data");
    place("XDG_CACHE_HOME", "cache");
    place("HOME", "home");
    place("XDG_RUNTIME_DIR", "runtime");
    QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("CALVESTRA_SCANNER", "simulator");
    qputenv("CALVESTRA_SIMULATOR_RATE", "0");
    Startup::prepareProcess();
}

Service::Service()
    : m_dir(QDir::tempPath() + QStringLiteral("/calvestra-shots-service-XXXXXX"))
{
}

Service::~Service()
{
    stop();
}

bool Service::start()
{
    static const QRegularExpression listening(QStringLiteral("^listening on http://[^\\s]+:(\\d+)"),
                                              QRegularExpression::MultilineOption);
    const QString log = m_dir.filePath(QStringLiteral("service.log"));
    const QDeadlineTimer deadline(15000);
    // Taken again after a stop, the port may be held for a moment.
    while (!deadline.hasExpired()) {
        m_process = std::make_unique<QProcess>();
        m_process->setProgram(QStringLiteral(CALVESTRA_SERVICE_EXE));
        m_process->setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(m_port),
                                 QStringLiteral("--data"), m_dir.filePath(QStringLiteral("data")),
                                 // A throw-away service on loopback for the pictures: no accounts.
                                 QStringLiteral("--no-auth")});
        // The service ends with this program, however it ends.
        m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->setStandardOutputFile(log, QIODevice::Truncate);
        m_process->start();
        while (m_process->state() != QProcess::NotRunning && !deadline.hasExpired()) {
            QFile file(log);
            const auto match =
                listening.match(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
            if (match.hasMatch()) {
                m_port = quint16(match.captured(1).toUInt());
                return true;
            }
            m_process->waitForFinished(20);
        }
        stop();
    }
    return false;
}

void Service::stop()
{
    if (!m_process)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000))
        m_process->kill();
    m_process->waitForFinished(5000);
    m_process.reset();
}

QUrl Service::endpoint() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/Apps/Movelta/vq_webservice.php").arg(m_port));
}

QJsonObject Service::post(const QByteArray &form) const
{
    QNetworkAccessManager network;
    QNetworkRequest request(endpoint());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    std::unique_ptr<QNetworkReply> reply(network.post(request, form));
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, kWaitMs))
        return {};
    return QJsonDocument::fromJson(reply->readAll()).object();
}

void useNoService()
{
    AppSettings::setEndpoint(QStringLiteral("http://127.0.0.1:9/Apps/Movelta/vq_webservice.php"));
    AppSettings::setIdTrainer(0);
    DataModule::instance();
    HttpService::instance()->setWebServiceURL(false);
}

void saveClient(Client &client, const QString &surname, const QString &name, const QString &sex, int ageYears,
                int ageDays, double heightCm, double weightKg)
{
    client.surname = surname;
    client.name = name;
    client.sex = sex;
    client.birthday = QDate::currentDate().addYears(-ageYears).addDays(-ageDays);
    client.height = heightCm;
    client.weight = weightKg;
    client.saveToDB(false, false);
}

bool showExamDialog(ExamDlg &dlg, Client *client)
{
    dlg.init(client);
    dlg.setWindowState(Qt::WindowNoState);
    dlg.resize(1054, 697);
    dlg.show();
    return QTest::qWaitForWindowExposed(&dlg);
}

void writeSimulatedSweep(const QString &folder, const QString &base, double fatMm, int lines, const QList<int> &marks)
{
    CalvimetroModel model;
    CalvimetroProfile profile;
    profile.fatMm = fatMm;
    profile.seed = 0x5ca1ab1eULL + quint64(fatMm * 10);
    model.setProfile(profile);
    VXCommThread holder(false);
    std::vector<uint8_t> block(CalvimetroProtocol::blockSize);
    const int offset = model.lineOffset();
    for (int l = 0; l < lines; ++l) {
        model.renderScanBlock(block.data(), 160, l);
        for (int j = 0; j < CalvimetroProtocol::scanRealMaxIndex; ++j)
            holder.scanData.append(block[size_t(offset + j)]);
    }
    holder.lineCount = lines;
    holder.saveToFile(folder + base + QStringLiteral(".d2d"));
    ScanArea area;
    area.image = holder.getScanImage();
    area.analysis.linemarks = marks;
    // Like a scan saved by the scan widget, it keeps its automatic reading.
    if (const auto trace = measureScanLayers(holder))
        area.analysis.reading = LayerReading::automatic(*trace);
    area.saveJpg(folder + base + QStringLiteral(".jpg"), 500, 400);
    area.saveAnalysisJson(folder + base + QStringLiteral(".json"));
}

std::unique_ptr<ModalHandler<ZoneChooserDialog>> answerZone(const QString &zone)
{
    return onModal<ZoneChooserDialog>([zone](ZoneChooserDialog *chooser) {
        auto *combo = chooser->findChild<QComboBox *>(QStringLiteral("cbZones"));
        auto *buttons = chooser->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        if (zone.isEmpty()) {
            QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            return;
        }
        // Typed over the selected text; Delete drops what the list completes it with.
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), zone);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
}

ExamScanner::ExamScanner(ExamDlg *dialog)
    : m_dlg(dialog)
{
    // The probe is looked for often and a finished sweep processed at once.
    VXCommThread *thread = m_dlg->ui->scan->commThread.get();
    thread->setCheckInterval(40);
    thread->setProcessingPause(30);
}

SimulatedCalvimetro *ExamScanner::sim() const
{
    return m_dlg->ui->scan->commThread->simulator();
}

ScanArea *ExamScanner::area() const
{
    return m_dlg->ui->scan->scanArea;
}

QLabel *ExamScanner::status() const
{
    return m_dlg->ui->scan->findChild<QLabel *>(QStringLiteral("lbStatus"));
}

void ExamScanner::setFat(double mm) const
{
    CalvimetroProfile profile = sim()->profile();
    profile.fatMm = mm;
    sim()->setProfile(profile);
}

bool ExamScanner::waitReady() const
{
    return QTest::qWaitFor([this] { return status()->text() == QStringLiteral("Pronto"); }, kWaitMs);
}

bool ExamScanner::scan(int lines, const QString &zone) const
{
    if (!waitReady())
        return false;
    const qsizetype before = m_dlg->scans.size();
    auto answer = answerZone(zone);
    sim()->sweep(lines + 1);
    return QTest::qWaitFor([&] { return answer->handled() && m_dlg->scans.size() > before; }, kWaitMs)
           && QTest::qWaitFor([this] { return !m_dlg->zoneChooser->isVisible(); }, kWaitMs) && waitReady();
}

}  // namespace Shots
