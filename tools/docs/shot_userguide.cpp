// Renders the pictures of the user guide (docs/user-guide.md) from the real windows,
// following one operator through a whole exam: the main window with the clients of the
// reference service, a new client in the editor, the exam on the simulated calvimetro
// (zone question, measurement, black and white, sending), an anamnesis questionnaire,
// the exam archive and its slide show, and what happens while the service cannot be
// reached. Not a test: it stops at the first step that does not happen.
//
//   shot_userguide docs/guide
#include "ShotSupport.h"

#include "anamnesis/AnamnesiDlg.h"
#include "anamnesis/AnamnesiWidget.h"
#include "anamnesis/AnamnesisTabWidget.h"
#include "anamnesis/ImageDiagram.h"
#include "anamnesis/Question.h"
#include "app/AppSettings.h"
#include "app/ClientEditDlg.h"
#include "app/MainWindow.h"
#include "device/SimulatedCalvimetro.h"
#include "exam/ZoneChooserDialog.h"
#include "exam/ui_ExamDlg.h"
#include "scan/ArchiveTabWidget.h"
#include "scan/DayScan.h"
#include "scan/DayScansModel.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "scan/SlideShowDlg.h"
#include "store/Client.h"
#include "store/DataModule.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHash>
#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace Shots;

namespace {

constexpr int kAccount = 7;
constexpr int kServiceWaitMs = 30000;
// The background pass checks every 5 s after an exam and sends one item at a time.
constexpr int kBackgroundWaitMs = 90000;
constexpr qint64 kMaxPictureBytes = 150 * 1024;

// ---------------------------------------------------------------- pictures

// Median cut to at most `colours` (up to 256) colours: the boxes of colours are split at their weighted
// median along their widest channel, and every colour takes its box's mean.
QImage toPalette(const QImage &source, int colours)
{
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            ++counts[line[x] | 0xff000000u];
    }
    struct Entry
    {
        QRgb colour;
        int count;
    };
    std::vector<Entry> entries;
    entries.reserve(size_t(counts.size()));
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        entries.push_back({it.key(), it.value()});

    struct Box
    {
        size_t begin;
        size_t end;
    };
    const auto channel = [](QRgb c, int k) { return k == 0 ? qRed(c) : k == 1 ? qGreen(c) : qBlue(c); };
    const auto spread = [&](const Box &box, int *widest) {
        std::array<int, 3> lo{255, 255, 255};
        std::array<int, 3> hi{0, 0, 0};
        for (size_t i = box.begin; i < box.end; ++i) {
            for (int k = 0; k < 3; ++k) {
                lo[size_t(k)] = std::min(lo[size_t(k)], channel(entries[i].colour, k));
                hi[size_t(k)] = std::max(hi[size_t(k)], channel(entries[i].colour, k));
            }
        }
        int best = 0;
        for (int k = 1; k < 3; ++k) {
            if (hi[size_t(k)] - lo[size_t(k)] > hi[size_t(best)] - lo[size_t(best)])
                best = k;
        }
        *widest = best;
        return hi[size_t(best)] - lo[size_t(best)];
    };
    const auto weight = [&](const Box &box) {
        qint64 sum = 0;
        for (size_t i = box.begin; i < box.end; ++i)
            sum += entries[i].count;
        return sum;
    };

    std::vector<Box> boxes{{0, entries.size()}};
    while (boxes.size() < size_t(colours)) {
        // The box to split: many pixels over a wide range of colour.
        size_t pick = boxes.size();
        double pickScore = 0.0;
        int pickChannel = 0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].end - boxes[b].begin < 2)
                continue;
            int widest = 0;
            const int range = spread(boxes[b], &widest);
            const double score = double(range) * std::sqrt(double(weight(boxes[b])));
            if (score > pickScore) {
                pickScore = score;
                pick = b;
                pickChannel = widest;
            }
        }
        if (pick == boxes.size())
            break;
        Box box = boxes[pick];
        std::sort(entries.begin() + qptrdiff(box.begin), entries.begin() + qptrdiff(box.end),
                  [&](const Entry &a, const Entry &b) {
                      return channel(a.colour, pickChannel) < channel(b.colour, pickChannel);
                  });
        const qint64 half = weight(box) / 2;
        qint64 running = 0;
        size_t cut = box.begin + 1;
        for (size_t i = box.begin; i < box.end - 1; ++i) {
            running += entries[i].count;
            cut = i + 1;
            if (running >= half)
                break;
        }
        boxes[pick] = {box.begin, cut};
        boxes.push_back({cut, box.end});
    }

    QVector<QRgb> palette;
    QHash<QRgb, int> indexOf;
    for (const Box &box : boxes) {
        double r = 0, g = 0, b = 0, n = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            r += qRed(entries[i].colour) * double(entries[i].count);
            g += qGreen(entries[i].colour) * double(entries[i].count);
            b += qBlue(entries[i].colour) * double(entries[i].count);
            n += entries[i].count;
            indexOf.insert(entries[i].colour, int(palette.size()));
        }
        palette.append(qRgb(qRound(r / n), qRound(g / n), qRound(b / n)));
    }
    QImage indexed(rgb.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *out = indexed.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            out[x] = uchar(indexOf.value(line[x] | 0xff000000u));
    }
    indexed.setDotsPerMeterX(source.dotsPerMeterX());
    indexed.setDotsPerMeterY(source.dotsPerMeterY());
    return indexed;
}

class Album
{
public:
    explicit Album(const QString &folder)
        : m_folder(folder)
    {
    }

    // Written at 96 dpi. A picture that comes out larger than the limit goes to 256
    // colours, then fewer: the scans' speckle is what costs the bytes.
    bool save(const QString &name, QImage image)
    {
        constexpr int dotsPerMeter = 3780;  // 96 dpi
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        const QString path = m_folder + QLatin1Char('/') + name + QStringLiteral(".png");
        bool written = write(path, image.convertToFormat(QImage::Format_RGB32));
        for (int colours = 256; written && colours >= 64 && QFileInfo(path).size() > kMaxPictureBytes; colours /= 2)
            written = write(path, toPalette(image, colours));
        if (!written) {
            ++m_failed;
            return false;
        }
        std::printf("%s  %dx%d  %lld bytes\n", qPrintable(path), image.width(), image.height(),
                    QFileInfo(path).size());
        ++m_count;
        return true;
    }
    int count() const { return m_count; }
    int failed() const { return m_failed; }

private:
    static bool write(const QString &path, const QImage &image)
    {
        QImageWriter writer(path, "png");
        writer.setQuality(0);  // the strongest compression
        if (!writer.write(image)) {
            qWarning("cannot write %s: %s", qPrintable(path), qPrintable(writer.errorString()));
            return false;
        }
        return true;
    }

    QString m_folder;
    int m_count = 0;
    int m_failed = 0;
};

QImage grabImage(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A window with the windows opened over it, where the window system put them, each with
// a thin frame (the offscreen screen draws no decorations).
QImage composite(QWidget *base, const QList<QWidget *> &over)
{
    QImage shot = grabImage(base);
    QPainter painter(&shot);
    const QPoint origin = base->mapToGlobal(QPoint(0, 0));
    for (QWidget *window : over) {
        const QImage top = grabImage(window);
        QPoint at = window->mapToGlobal(QPoint(0, 0)) - origin;
        // Kept inside the picture, as a window manager keeps a dialog on its parent.
        at.setX(qBound(0, at.x(), std::max(0, shot.width() - top.width())));
        at.setY(qBound(0, at.y(), std::max(0, shot.height() - top.height())));
        painter.setPen(QColor(0, 0, 0, 40));
        for (int i = 1; i <= 4; ++i)
            painter.drawRect(QRect(at, top.size()).adjusted(-i, -i, i - 1, i - 1));
        painter.drawImage(at, top);
        painter.setPen(QColor(150, 150, 150));
        painter.drawRect(QRect(at, top.size()).adjusted(-1, -1, 0, 0));
    }
    return shot;
}

// ---------------------------------------------------------------- data

// A form-encoded POST to the reference service, as an installation of the account sends it.
QJsonObject postToService(const Service &service, const QString &action, const QList<QPair<QString, QString>> &items)
{
    QByteArray body = "idSender=" + QByteArray::number(kAccount) + "&action=" + QUrl::toPercentEncoding(action);
    for (const auto &item : items)
        body += '&' + QUrl::toPercentEncoding(item.first) + '=' + QUrl::toPercentEncoding(item.second);
    return service.post(body);
}

struct SampleClient
{
    const char *surname;
    const char *name;
    const char *sex;
    const char *birthday;
    int height;
    int weight;
    const char *address;
    const char *city;
    const char *province;
    const char *zipcode;
};

const SampleClient sampleClients[] = {
    {"Rossi", "Mario", "M", "1978-04-12", 178, 82, "Via Roma 12", "Torino", "TO", "10121"},
    {"Mancini", "Anna", "F", "1985-09-30", 165, 58, "Corso Francia 88", "Torino", "TO", "10143"},
    {"Amato", "Luca", "M", "1992-01-22", 181, 77, "Via Garibaldi 4", "Asti", "AT", "14100"},
    {"D'Amico", "Sara", "F", "1988-06-05", 170, 61, "Piazza Castello 1", "Milano", "MI", "20121"},
    {"Ferrari", "Marco", "M", "1975-02-08", 175, 88, "Via Verdi 7", "Cuneo", "CN", "12100"},
    {"Esposito", "Chiara", "F", "1995-07-29", 160, 54, "Via Toledo 150", "Napoli", "NA", "80134"},
    {"Ricci", "Paolo", "M", "1983-12-03", 183, 90, "Corso Vittorio 33", "Alba", "CN", "12051"},
};

bool seedService(const Service &service)
{
    for (const SampleClient &c : sampleClients) {
        const QJsonObject client{{QStringLiteral("id"), 0},
                                 {QStringLiteral("surname"), QString::fromUtf8(c.surname)},
                                 {QStringLiteral("name"), QString::fromUtf8(c.name)},
                                 {QStringLiteral("sex"), QString::fromUtf8(c.sex)},
                                 {QStringLiteral("birthday"), QString::fromUtf8(c.birthday)},
                                 {QStringLiteral("address"), QString::fromUtf8(c.address)},
                                 {QStringLiteral("city"), QString::fromUtf8(c.city)},
                                 {QStringLiteral("province"), QString::fromUtf8(c.province)},
                                 {QStringLiteral("zipcode"), QString::fromUtf8(c.zipcode)},
                                 {QStringLiteral("phone"), QString()},
                                 {QStringLiteral("email"), QString()},
                                 {QStringLiteral("height"), c.height},
                                 {QStringLiteral("weight"), c.weight}};
        const QJsonObject reply = postToService(service, QStringLiteral("setUserData"),
                                                {{QStringLiteral("data"),
                                                  QString::fromUtf8(QJsonDocument(client).toJson())}});
        if (reply.value(QStringLiteral("data")).toObject().value(QStringLiteral("id")).toInt() <= 0)
            return false;
    }
    return true;
}


// ---------------------------------------------------------------- windows

QTableView *tableOf(MainWindow *window)
{
    return window->findChild<QTableView *>(QStringLiteral("tableView"));
}

QModelIndex clientCell(MainWindow *window, const QString &surname)
{
    auto *model = qobject_cast<QSqlTableModel *>(tableOf(window)->model());
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 2).data().toString() == surname)
            return model->index(row, 2);
    }
    return {};
}

int rowCount(MainWindow *window)
{
    return tableOf(window)->model()->rowCount();
}

void clickTab(ExamDlg *dlg, int index)
{
    QTabBar *tabs = dlg->ui->tabWidget->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(index).center());
}

QVariant storeValue(const QString &sql)
{
    QSqlQuery query(DataModule::instance()->m_db);
    return query.exec(sql) && query.first() ? query.value(0) : QVariant();
}

// Rows of the fat layer in a column of the scan area: from under the bright skin to the
// top of the bright fascia. {-1, -1} when the column shows no such layer.
QPair<int, int> fatRows(const QImage &area, int x, int top, int bottom)
{
    std::vector<double> level;
    for (int y = top; y <= bottom; ++y) {
        double sum = 0;
        for (int dx = -2; dx <= 2; ++dx)
            sum += qGray(area.pixel(x + dx, y));
        level.push_back(sum / 5.0);
    }
    const double peak = *std::max_element(level.begin(), level.end());
    const double bright = peak * 0.55;
    size_t i = 0;
    while (i < level.size() && level[i] < bright)  // above the skin
        ++i;
    while (i < level.size() && level[i] >= bright)  // the skin
        ++i;
    const size_t fatTop = i;
    while (i < level.size() && level[i] < bright)  // the fat
        ++i;
    if (fatTop == 0 || i >= level.size() || i - fatTop < 5)
        return {-1, -1};
    return {top + int(fatTop), top + int(i) - 1};
}

// The exam scenario ran to its end: set by the steps, read by main().
struct Outcome
{
    QString failure;
    bool fail(const QString &step)
    {
        if (failure.isEmpty())
            failure = step;
        return false;
    }
};

}  // namespace

int main(int argc, char *argv[])
{
    Profile profile;
    // A screen large enough for the windows at their own sizes, at 96 dpi.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        const QString config = profile.root() + QStringLiteral("/screen.json");
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(R"({"screens": [{"name": "guide", "x": 0, "y": 0, "width": 1600, "height": 1000,)"
                       R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            file.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
        }
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc < 2) {
        qWarning("usage: shot_userguide OUTPUT_FOLDER");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        qWarning("cannot create %s", argv[1]);
        return 1;
    }
    Album album(folder);

    Service service;
    if (!service.start()) {
        qWarning("the reference service did not start");
        return 1;
    }
    if (!seedService(service)) {
        qWarning("the sample clients could not be stored on the service");
        return 1;
    }
    AppSettings::setEndpoint(service.endpoint().toString());
    AppSettings::setIdTrainer(kAccount);
    AppSettings::setUserName(QStringLiteral("Studio Rossi"));

    Outcome outcome;
    {
        MainWindow window;
        window.show();
        window.resize(1054, 697);
        if (!QTest::qWaitForWindowExposed(&window))
            return 1;
        auto *network = window.findChild<QLabel *>(QStringLiteral("networkStatusLabel"));
        auto *cloudButton = window.findChild<QPushButton *>(QStringLiteral("cloudUploadButton"));
        const QString modelsFolder = AnamnesiWidget::modelsFolder(DataModule::instance());
        // The clients come down at start, the questionnaire models once the service answers.
        if (!QTest::qWaitFor([&] { return rowCount(&window) == int(std::size(sampleClients)); }, kServiceWaitMs)
            || !QTest::qWaitFor([&] { return network && network->toolTip() == QStringLiteral("Connesso"); },
                                kServiceWaitMs)
            || !QTest::qWaitFor([&] { return QDir(modelsFolder).entryList({QStringLiteral("*.anm")}).size() == 3; },
                                kServiceWaitMs)) {
            qWarning("the main window did not fill from the service");
            return 1;
        }
        QTest::qWait(200);
        album.save(QStringLiteral("01-main-window"), grabImage(&window));

        // A new client, typed into the editor and sent to the service with OK.
        {
            bool shown = false;
            auto editor = onModal<ClientEditDlg>([&](ClientEditDlg *dlg) {
                shown = true;
                const auto type = [dlg](const char *name, const QString &text) {
                    auto *edit = dlg->findChild<QLineEdit *>(QLatin1String(name));
                    edit->setFocus();
                    QTest::keyClicks(edit, text);
                };
                type("edName", QStringLiteral("Lucia"));
                type("edSurname", QStringLiteral("Conti"));
                dlg->findChild<QDateEdit *>(QStringLiteral("dpBirthday"))->setDate(QDate(1987, 3, 14));
                QTest::mouseClick(dlg->findChild<QRadioButton *>(QStringLiteral("rbFemale")), Qt::LeftButton);
                type("edPhone", QStringLiteral("333 123 4567"));
                type("edEMail", QStringLiteral("lucia.conti@example.org"));
                type("edAddress", QStringLiteral("Via Nizza 45"));
                type("edZipCode", QStringLiteral("10126"));
                type("edCity", QStringLiteral("Torino"));
                type("edProv", QStringLiteral("TO"));
                QTest::qWait(100);
                album.save(QStringLiteral("02-client-editor"), composite(&window, {dlg}));
                auto *buttons = dlg->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
                QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
            });
            QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btAddUser")), Qt::LeftButton);
            if (!shown) {
                qWarning("the client editor did not open");
                return 1;
            }
        }
        if (!QTest::qWaitFor(
                [] {
                    return storeValue(QStringLiteral("select web_id from clients where surname = 'Conti'")).toInt() > 0;
                },
                kServiceWaitMs)) {
            qWarning("the new client did not reach the service");
            return 1;
        }

        // An earlier exam day of the new client, already in its folder.
        const QDate earlier = QDate::currentDate().addDays(-35);
        {
            Client conti;
            const QString webId = QStringLiteral("select web_id from clients where surname = 'Conti'");
            conti.loadFromWebID(storeValue(webId).toInt());
            const QString clientFolder = conti.getDataPath(true);
            const QString day = earlier.toString(QStringLiteral("yyyyMMdd"));
            writeSimulatedSweep(clientFolder, QStringLiteral("Coscia dx-%1--17-42-10").arg(day), 16.5, 500, {});
            writeSimulatedSweep(clientFolder, QStringLiteral("Vita-%1--17-45-31").arg(day), 18.0, 520, {210});
            writeSimulatedSweep(clientFolder, QStringLiteral("Fianco dx-%1--17-48-05").arg(day), 15.0, 480, {});
        }

        // The exam, opened with a double click on the client.
        window.resize(1054, 697);
        bool examRan = false;
        auto examHandler = onModal<ExamDlg>(
            [&](ExamDlg *dlg) {
                examRan = true;
                dlg->setWindowState(Qt::WindowNoState);
                dlg->resize(1054, 697);
                ExamScanner d(dlg);
                if (!d.waitReady())
                    return void(outcome.fail(QStringLiteral("the simulated calvimetro is not ready")));
                QTest::qWait(200);
                album.save(QStringLiteral("03-exam-open"), grabImage(dlg));

                dlg->ui->edWeight->setValue(64.5);
                dlg->ui->edHeight->setValue(168.0);
                dlg->ui->slActivityLevel->setValue(2);

                // First scan: held over the thigh, with a mark, then named.
                d.setFat(12.0);
                d.sim()->setBlockRate(300);
                QSignalSpy started(dlg->ui->scan, &ScanWidget::onStartScan);
                d.sim()->pressButton();
                if (!started.wait(kWaitMs))
                    return void(outcome.fail(QStringLiteral("first scan did not start")));
                if (!QTest::qWaitFor([&] { return d.area()->scanLines().size() >= 200; }, kWaitMs))
                    return void(outcome.fail(QStringLiteral("first scan lines")));
                QTest::keyClick(dlg, Qt::Key_M);
                if (!QTest::qWaitFor([&] { return d.area()->scanLines().size() >= 420; }, kWaitMs))
                    return void(outcome.fail(QStringLiteral("first scan lines")));
                bool asked = false;
                auto zone = onModal<ZoneChooserDialog>([&](ZoneChooserDialog *chooser) {
                    asked = true;
                    QTest::qWait(150);
                    album.save(QStringLiteral("04-zone-chooser"), composite(dlg, {chooser}));
                    auto *buttons = chooser->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
                    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
                });
                d.sim()->releaseButton();
                if (!QTest::qWaitFor([&] { return asked && dlg->scans.size() == 1; }, kWaitMs) || !d.waitReady())
                    return void(outcome.fail(QStringLiteral("zone question")));
                d.sim()->setBlockRate(0);

                // Second scan, on the waist, then a measurement over its fat layer.
                QTest::qWait(1100);
                d.setFat(14.0);
                if (!d.scan(460, QStringLiteral("Vita")))
                    return void(outcome.fail(QStringLiteral("second scan")));
                QTest::qWait(200);
                ScanArea *area = d.area();
                const QImage plain = grabImage(area);
                const int x0 = area->leftMargin + area->plotWidth() * 45 / 100;
                const int x1 = area->leftMargin + area->plotWidth() * 62 / 100;
                const QPair<int, int> rows =
                    fatRows(plain, (x0 + x1) / 2, area->topMargin + 2, area->topMargin + area->plotHeight() - 2);
                if (rows.first < 0)
                    return void(outcome.fail(QStringLiteral("no fat layer found in the scan")));
                QTest::mousePress(area, Qt::LeftButton, {}, QPoint(x0, rows.first));
                QTest::mouseMove(area, QPoint(x1, rows.second));
                QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(x1, rows.second));
                QTest::qWait(100);
                std::printf("measured %.1f mm (simulated fat 14 mm +- 2.5 mm)\n", area->thickness());
                if (area->thickness() < 10.0 || area->thickness() > 17.5)
                    return void(outcome.fail(QStringLiteral("the measurement missed the fat layer")));
                album.save(QStringLiteral("05-measurement"), grabImage(dlg));

                // Black and white, at 40 mm: the rectangle stays on the same tissue.
                QTest::mouseClick(dlg->ui->scan->findChild<QPushButton *>(QStringLiteral("btBN")), Qt::LeftButton);
                dlg->ui->scan->findChild<QSlider *>(QStringLiteral("slDeepness"))->setValue(40);
                QTest::qWait(200);
                album.save(QStringLiteral("06-black-and-white"), grabImage(dlg));
                QTest::mouseClick(dlg->ui->scan->findChild<QPushButton *>(QStringLiteral("btBN")), Qt::LeftButton);
                dlg->ui->scan->findChild<QSlider *>(QStringLiteral("slDeepness"))->setValue(60);

                // A third scan, then the exam goes to the service.
                QTest::qWait(1100);
                d.setFat(10.5);
                if (!d.scan(430, QStringLiteral("Fianco dx")))
                    return void(outcome.fail(QStringLiteral("third scan")));
                QString sent;
                auto sentBox = onModal<QMessageBox>([&](QMessageBox *box) {
                    sent = box->text();
                    QTest::qWait(100);
                    album.save(QStringLiteral("07-exam-sent"), composite(dlg, {box}));
                    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                });
                QTest::mouseClick(dlg->ui->btSend, Qt::LeftButton);
                if (!QTest::qWaitFor([&] { return !sent.isEmpty(); }, kServiceWaitMs)
                    || sent != QStringLiteral("Esame inviato al server"))
                    return void(outcome.fail(QStringLiteral("sending the exam: ") + sent));

                // The earlier day is sent too, from its own date.
                dlg->ui->dtDay->setDate(earlier);
                if (dlg->scans.size() != 3)
                    return void(outcome.fail(QStringLiteral("the earlier day's scans")));
                dlg->ui->edWeight->setValue(66.0);
                sent.clear();
                auto earlierBox = onModal<QMessageBox>([&](QMessageBox *box) {
                    sent = box->text();
                    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                });
                QTest::mouseClick(dlg->ui->btSend, Qt::LeftButton);
                if (!QTest::qWaitFor([&] { return !sent.isEmpty(); }, kServiceWaitMs)
                    || sent != QStringLiteral("Esame inviato al server"))
                    return void(outcome.fail(QStringLiteral("sending the earlier exam: ") + sent));
                dlg->ui->dtDay->setDate(QDate::currentDate());
                dlg->ui->edWeight->setValue(64.5);

                // Anamnesis: a new questionnaire on the body composition model.
                clickTab(dlg, 1);
                bool filled = false;
                auto anamnesis = onModal<AnamnesiDlg>([&](AnamnesiDlg *form) {
                    auto *widget = form->findChild<AnamnesiWidget *>(QStringLiteral("anamnesiWidget"));
                    auto *models = widget->findChild<QComboBox *>(QStringLiteral("cbModel"));
                    models->setCurrentIndex(models->findText(QStringLiteral("Composizione corporea")));
                    QTest::qWait(100);
                    const QStringList answers{QStringLiteral("Riduzione massa grassa"),
                                              QStringLiteral("60.0"),
                                              QStringLiteral("78.5"),
                                              QStringLiteral("99.0"),
                                              QStringLiteral("56.5"),
                                              QStringLiteral("27.5"),
                                              QStringLiteral("Aumentato"),
                                              QStringLiteral("Fianchi e addome"),
                                              QStringLiteral("No"),
                                              QStringLiteral("Nessuno")};
                    const QList<Question> &questions = widget->current.questions;
                    for (int i = 0; i < questions.size() && i < answers.size(); ++i) {
                        QWidget *editor = questions.at(i).editor;
                        if (auto *spin = qobject_cast<QDoubleSpinBox *>(editor))
                            spin->setValue(answers.at(i).toDouble());
                        else if (auto *combo = qobject_cast<QComboBox *>(editor))
                            combo->setCurrentText(answers.at(i));
                        else if (auto *text = qobject_cast<QPlainTextEdit *>(editor))
                            text->setPlainText(answers.at(i));
                    }
                    // Points with clicks, arrows with drags, on the body picture.
                    auto *diagram = widget->findChild<ImageDiagram *>(QStringLiteral("imageDiagram"));
                    const auto at = [diagram](double x, double y) {
                        return diagram->getScreenPos(QPointF(x, y)).toPoint();
                    };
                    for (const QPointF &p : {QPointF(140, 232), QPointF(220, 232), QPointF(180, 262)})
                        QTest::mouseClick(diagram, Qt::LeftButton, {}, at(p.x(), p.y()));
                    const auto drag = [&](QPointF from, QPointF to) {
                        QTest::mousePress(diagram, Qt::LeftButton, {}, at(from.x(), from.y()));
                        QTest::mouseMove(diagram, at((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
                        QTest::mouseMove(diagram, at(to.x(), to.y()));
                        QTest::mouseRelease(diagram, Qt::LeftButton, {}, at(to.x(), to.y()));
                    };
                    drag(QPointF(60, 300), QPointF(150, 335));
                    drag(QPointF(640, 250), QPointF(560, 300));
                    QTest::mouseClick(diagram, Qt::LeftButton, {}, at(515, 315));
                    auto *note = widget->findChild<QPlainTextEdit *>(QStringLiteral("edNote"));
                    // The model's note is a hint for the operator, replaced by the visit's own.
                    note->setFocus();
                    note->selectAll();
                    QTest::keyClicks(note, QStringLiteral("Prima visita: misure prese al mattino, a digiuno."));
                    QTest::mouseMove(diagram, at(360, 520));
                    QTest::qWait(150);
                    filled = diagram->marks.size() == 4 && diagram->lines.size() == 2;
                    album.save(QStringLiteral("08-anamnesis-form"), grabImage(form));
                    auto *buttons = form->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
                    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
                });
                QTest::mouseClick(dlg->anamnesisTab->findChild<QPushButton *>(QStringLiteral("btAnamnesiAdd")),
                                  Qt::LeftButton);
                if (!filled || dlg->anamnesisTab->anamnesisList()->count() != 1)
                    return void(outcome.fail(QStringLiteral("anamnesis questionnaire")));
                QTest::qWait(200);
                album.save(QStringLiteral("09-anamnesis-tab"), grabImage(dlg));

                // The exams on the service, and a slide show of one of them.
                clickTab(dlg, 2);
                auto *works = dlg->archiveTab->findChild<QListWidget *>(QStringLiteral("lwWorks"));
                DayScansModel *model = dlg->archiveTab->model;
                const auto picturesIn = [model] {
                    int loaded = 0;
                    for (const DayScan *scan : model->scans())
                        loaded += scan->image ? 1 : 0;
                    return loaded;
                };
                if (!QTest::qWaitFor([&] { return works->count() == 2; }, kServiceWaitMs))
                    return void(outcome.fail(QStringLiteral("the exam archive")));
                // The list runs from the oldest exam: today's is the last.
                works->setCurrentRow(works->count() - 1);
                if (!QTest::qWaitFor([&] { return model->rowCount() == 3 && picturesIn() == 3; }, kServiceWaitMs))
                    return void(outcome.fail(QStringLiteral("the archive pictures")));
                QTest::qWait(200);
                album.save(QStringLiteral("10-archive"), grabImage(dlg));
                bool slides = false;
                auto slideShow = onModal<SlideShowDlg>([&](SlideShowDlg *show) {
                    slides = true;
                    show->resize(760, 560);
                    QTest::qWait(200);
                    album.save(QStringLiteral("11-slideshow"), grabImage(show));
                    show->reject();
                });
                auto *view = dlg->archiveTab->findChild<QListView *>(QStringLiteral("lvWorkScans"));
                const QPoint second = view->visualRect(model->index(1, 0)).center();
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second);
                QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, second);
                if (!QTest::qWaitFor([&] { return slides; }, kWaitMs))
                    return void(outcome.fail(QStringLiteral("slide show")));
                clickTab(dlg, 0);

                // The service goes away: the next exam waits in the local store.
                service.stop();
                QTest::qWait(1100);
                d.setFat(11.5);
                if (!d.scan(440, QStringLiteral("Polpaccio dx")))
                    return void(outcome.fail(QStringLiteral("fourth scan")));
                QString failed;
                auto failedBox = onModal<QMessageBox>([&](QMessageBox *box) {
                    failed = box->text();
                    QTest::qWait(100);
                    album.save(QStringLiteral("12-send-failed"), composite(dlg, {box}));
                    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                });
                QTest::mouseClick(dlg->ui->btSend, Qt::LeftButton);
                if (!QTest::qWaitFor([&] { return !failed.isEmpty(); }, kServiceWaitMs)
                    || !failed.startsWith(QStringLiteral("Si è verificato un errore")))
                    return void(outcome.fail(QStringLiteral("the failed send: ") + failed));

                // Closing with what the service has not confirmed.
                bool questioned = false;
                auto question = onModal<QMessageBox>(
                    [&](QMessageBox *box) {
                        questioned = true;
                        QTest::qWait(100);
                        album.save(QStringLiteral("13-unsent-question"), composite(dlg, {box}));
                        for (QAbstractButton *button : box->buttons()) {
                            if (button->text() == QStringLiteral("Esci senza inviare"))
                                QTest::mouseClick(button, Qt::LeftButton);
                        }
                    },
                    [](QMessageBox *box) { return box->text().startsWith(QStringLiteral("Alcune modifiche")); });
                QTest::mouseClick(dlg->ui->buttonBox->button(QDialogButtonBox::Ok), Qt::LeftButton);
                if (!QTest::qWaitFor([&] { return questioned && !dlg->isVisible(); }, kWaitMs))
                    return void(outcome.fail(QStringLiteral("the unsent-changes question")));
            },
            {}, kServiceWaitMs);
        const QModelIndex cell = clientCell(&window, QStringLiteral("Conti"));
        if (!cell.isValid()) {
            qWarning("the new client is not in the list");
            return 1;
        }
        QTableView *table = tableOf(&window);
        const QPoint pos = table->visualRect(cell).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, pos);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, pos);
        QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, pos);
        if (!examRan || !outcome.failure.isEmpty()) {
            qWarning("the exam stopped: %s", qPrintable(outcome.failure.isEmpty() ? QStringLiteral("never opened")
                                                                                 : outcome.failure));
            return 1;
        }

        // Back in the main window: the cloud button shows what waits, the picture beside
        // it that the service is out of reach.
        if (!QTest::qWaitFor([&] { return cloudButton && cloudButton->isVisible(); }, kBackgroundWaitMs)
            || !QTest::qWaitFor([&] { return network->toolTip() == QStringLiteral("Disconnesso"); }, kServiceWaitMs)) {
            qWarning("the pending upload is not shown");
            return 1;
        }
        table->clearSelection();
        QTest::qWait(200);
        album.save(QStringLiteral("14-pending-upload"), grabImage(&window));
        std::printf("cloud button: %s\n", qPrintable(cloudButton->toolTip().replace(QLatin1Char('\n'), " | ")));

        // The service is back: the background pass sends the queued exam.
        if (!service.start()) {
            qWarning("the reference service did not restart");
            return 1;
        }
        if (!QTest::qWaitFor([&] { return !cloudButton->isVisible(); }, kBackgroundWaitMs)) {
            qWarning("the queued exam was not sent in the background");
            return 1;
        }
        std::printf("the queued exam went out in the background\n");
    }
    service.stop();
    std::printf("%d pictures in %s\n", album.count(), qPrintable(folder));
    return album.failed() == 0 ? 0 : 1;
}
