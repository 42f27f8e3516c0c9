#include "TestMain.h"

#include <QDirIterator>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

struct Message
{
    bool finished = false;
    QString translation;
};

// (context, source) -> message, for every <message> of the given .ts files.
QHash<QPair<QString, QString>, Message> readCatalogue(const QStringList &files, QString *error)
{
    QHash<QPair<QString, QString>, Message> result;
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read ") + path;
            return {};
        }
        QXmlStreamReader xml(&file);
        QString context;
        QString source;
        Message message;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (xml.name() == QLatin1String("message")) {
                source.clear();
                message = Message();
            } else if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                message.finished = type.isEmpty();
                message.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                result.insert(qMakePair(context, source), message);
            }
        }
        if (xml.hasError()) {
            *error = path + QStringLiteral(": ") + xml.errorString();
            return {};
        }
    }
    return result;
}

QString sourceDir()
{
    return QStringLiteral(CALVESTRA_SOURCE_DIR);
}

}  // namespace

class ResourcesTest : public QObject
{
    Q_OBJECT

private slots:
    void iconsAre24Pixels_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"add", "edit", "del", "refresh", "search", "menu", "help", "settings",
                                 "cloudUpload", "networkUp", "networkDown", "cloudDownload", "compare",
                                 "goToWebApp", "led_connect", "led_disconnect", "led_scan", "save", "open",
                                 "remove", "account", "delete", "delete-outline", "survey"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void iconsAre24Pixels()
    {
        QFETCH(QString, name);
        const QImage image(QStringLiteral(":/icons/") + name);
        QVERIFY2(!image.isNull(), qPrintable(name));
        QCOMPARE(image.size(), QSize(24, 24));
        QVERIFY(image.hasAlphaChannel());
    }

    void applicationIconHasFourSizes()
    {
        QImageReader reader(QStringLiteral(":/icons/appicon"));
        QVERIFY(reader.canRead());
        QSet<int> edges;
        for (int i = 0; i < reader.imageCount(); ++i) {
            reader.jumpToImage(i);
            const QImage image = reader.read();
            QVERIFY(!image.isNull());
            QCOMPARE(image.width(), image.height());
            edges.insert(image.width());
        }
        QCOMPARE(edges, QSet<int>({16, 32, 48, 256}));
    }

    void imagesHaveTheirSizes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("background") << ":/images/background" << QSize(1920, 600);
        QTest::newRow("body-diagram") << ":/images/body-diagram" << QSize(720, 540);
        QTest::newRow("calvimetro_sketch") << ":/images/calvimetro_sketch" << QSize(720, 720);
    }
    void imagesHaveTheirSizes()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), size);
    }

    void backgroundKeepsTextReadable()
    {
        // Drawn behind black text: no pixel may be darker than a pale tint.
        QImage image(QStringLiteral(":/images/background"));
        image = image.convertToFormat(QImage::Format_ARGB32);
        QImage onWhite(image.size(), QImage::Format_RGB32);
        onWhite.fill(Qt::white);
        QPainter(&onWhite).drawImage(0, 0, image);
        int darkest = 255;
        for (int y = 0; y < onWhite.height(); y += 3)
            for (int x = 0; x < onWhite.width(); x += 3)
                darkest = qMin(darkest, qGray(onWhite.pixel(x, y)));
        QVERIFY2(darkest >= 170, qPrintable(QString::number(darkest)));
    }

    void everyLanguageHasACatalogue_data()
    {
        QTest::addColumn<QString>("code");
        for (const char *code : {"en", "it", "pt", "pt-br"})
            QTest::newRow(code) << QString::fromLatin1(code);
    }
    void everyLanguageHasACatalogue()
    {
        QFETCH(QString, code);
        QVERIFY(QFile::exists(QStringLiteral(":/i18n/") + code));
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/i18n/") + code));
    }

    // Every text the code marks for translation has a finished, non-empty translation
    // in each of the English, Portuguese and Brazilian Portuguese catalogues.
    void catalogueIsComplete()
    {
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        const QString extracted = scratch.filePath(QStringLiteral("code.ts"));
        QStringList args{QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                         QStringLiteral("-extensions"), QStringLiteral("cpp,h,ui"),
                         QStringLiteral("-I"), sourceDir()};
        for (const char *dir : {"app", "store", "device", "scan", "exam", "anamnesis", "cloud", "resources/forms"})
            args << sourceDir() + QLatin1Char('/') + QString::fromLatin1(dir);
        args << QStringLiteral("-ts") << extracted;
        QProcess lupdate;
        lupdate.start(QStringLiteral(CALVESTRA_LUPDATE), args);
        QVERIFY(lupdate.waitForFinished(120000));
        QCOMPARE(lupdate.exitCode(), 0);

        QString error;
        const auto inCode = readCatalogue({extracted}, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(!inCode.isEmpty());

        for (const QString &code : {QStringLiteral("en"), QStringLiteral("pt"), QStringLiteral("pt-br")}) {
            QStringList files;
            QDirIterator it(sourceDir() + QStringLiteral("/resources/i18n"),
                            {QStringLiteral("*_") + code + QStringLiteral(".ts")}, QDir::Files);
            while (it.hasNext())
                files << it.next();
            QVERIFY(!files.isEmpty());
            const auto catalogue = readCatalogue(files, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QStringList problems;
            for (auto i = inCode.cbegin(); i != inCode.cend(); ++i) {
                const auto found = catalogue.constFind(i.key());
                if (found == catalogue.cend())
                    problems << QStringLiteral("missing %1::%2").arg(i.key().first, i.key().second);
                else if (!found->finished || found->translation.trimmed().isEmpty())
                    problems << QStringLiteral("unfinished %1::%2").arg(i.key().first, i.key().second);
            }
            for (auto i = catalogue.cbegin(); i != catalogue.cend(); ++i)
                if (!i->finished)
                    problems << QStringLiteral("unfinished in catalogue %1::%2").arg(i.key().first, i.key().second);
            QVERIFY2(problems.isEmpty(), qPrintable(code + QStringLiteral(":\n") + problems.join(QLatin1Char('\n'))));
        }
    }
};

CALVESTRA_TEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
