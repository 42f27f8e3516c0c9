#include "TestMain.h"

#include <QDirIterator>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

const QString sourceDir = QStringLiteral(CALVESTRA_SOURCE_DIR);
const QStringList productDirs{u"app"_s,  u"store"_s,     u"device"_s,
                              u"scan"_s, u"exam"_s,      u"anamnesis"_s,
                              u"cloud"_s, u"resources/forms"_s};

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

class ResourcesTest : public QObject
{
    Q_OBJECT

private slots:
    // Every picture the code and the forms name is in the bundle.
    void namedPicturesExist()
    {
        QStringList named;
        QStringList missing;
        for (const QString &dir : productDirs) {
            QDirIterator it(sourceDir + u'/' + dir, {u"*.cpp"_s, u"*.h"_s, u"*.ui"_s},
                            QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                for (const QRegularExpressionMatch &match :
                     QRegularExpression(u":/(icons|images)/[\\w-]+"_s).globalMatch(QString::fromUtf8(file.readAll()))) {
                    named << match.captured();
                    if (QImage(match.captured()).isNull())
                        missing << match.captured() + u" in "_s + file.fileName();
                }
            }
        }
        QVERIFY(named.contains(u":/icons/appicon"_s) && named.contains(u":/images/background"_s));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
    }

    void backgroundKeepsTextReadable()
    {
        // Drawn behind black text: no pixel may be darker than a pale tint.
        QImage onWhite(QImage(u":/images/background"_s).size(), QImage::Format_RGB32);
        onWhite.fill(Qt::white);
        QPainter(&onWhite).drawImage(0, 0, QImage(u":/images/background"_s));
        int darkest = 255;
        for (int y = 0; y < onWhite.height(); y += 3)
            for (int x = 0; x < onWhite.width(); x += 3)
                darkest = qMin(darkest, qGray(onWhite.pixel(x, y)));
        QVERIFY2(darkest >= 170, qPrintable(QString::number(darkest)));
    }

    void cataloguesAreComplete_data()
    {
        QTest::addColumn<QString>("code");
        for (const char *code : {"en", "pt", "pt-br"})
            QTest::newRow(code) << QString::fromLatin1(code);
    }
    // Every text the code marks for translation has a finished, non-empty translation in
    // the language's catalogue: the catalogue files are merged, brought up to date with
    // the code by lupdate (which marks what it adds as unfinished), then read.
    void cataloguesAreComplete()
    {
        QFETCH(QString, code);
        QTemporaryDir scratch;
        const QString merged = scratch.filePath(u"all.ts"_s);
        QStringList arguments{u"-o"_s, merged};
        QDirIterator it(sourceDir + u"/resources/i18n"_s, {u"*_"_s + code + u".ts"_s});
        while (it.hasNext())
            arguments << u"-i"_s << it.next();
        QVERIFY(arguments.size() > 4);
        QVERIFY(run(QStringLiteral(CALVESTRA_LCONVERT), arguments));
        arguments = QStringList{u"-silent"_s, u"-no-obsolete"_s, u"-locations"_s, u"none"_s,
                                u"-extensions"_s, u"cpp,h,ui"_s, u"-I"_s, sourceDir};
        for (const QString &dir : productDirs)
            arguments << sourceDir + u'/' + dir;
        QVERIFY(run(QStringLiteral(CALVESTRA_LUPDATE), arguments << u"-ts"_s << merged));

        QFile file(merged);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString context;
        QString source;
        QStringList problems;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"name")
                context = xml.readElementText();
            else if (xml.name() == u"source")
                source = xml.readElementText();
            else if (xml.name() == u"translation" && ++messages
                     && (!xml.attributes().value(u"type").isEmpty()
                         || xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().isEmpty()))
                problems << context + u"::"_s + source;
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages > 100);
        QVERIFY2(problems.isEmpty(), qPrintable(u"unfinished:\n"_s + problems.join(u'\n')));
    }
};

CALVESTRA_TEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
