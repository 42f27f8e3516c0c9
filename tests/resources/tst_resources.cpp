#include "TestMain.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

const QString sourceDir = QStringLiteral(CALVESTRA_SOURCE_DIR) + u'/';
const QStringList productDirs = u"app store device scan exam anamnesis cloud resources/forms"_s.split(u' ');

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
        QStringList named, missing;
        for (const QString &dir : productDirs) {
            QDirIterator it(sourceDir + dir, {u"*.cpp"_s, u"*.h"_s, u"*.ui"_s}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                for (const auto &match : QRegularExpression(u":/(icons|images)/[\\w-]+"_s).globalMatch(QString::fromUtf8(file.readAll()))) {
                    named << match.captured();
                    if (QImage(match.captured()).isNull())
                        missing << match.captured() + u" in "_s + file.fileName();
                }
            }
        }
        QVERIFY(named.contains(u":/icons/appicon"_s) && named.contains(u":/images/background"_s));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
    }

    void cataloguesAreComplete_data()
    {
        QTest::addColumn<QString>("code");
        for (const char *code : {"en", "pt", "pt-br"})
            QTest::newRow(code) << QString::fromLatin1(code);
    }
    // Every text the code marks for translation has a finished, non-empty translation in
    // the language's catalogue: its files merged, brought up to date with the code by
    // lupdate (which marks what it adds as unfinished), then read.
    void cataloguesAreComplete()
    {
        QFETCH(QString, code);
        QTemporaryDir scratch;
        const QString merged = scratch.filePath(u"all.ts"_s);
        QStringList arguments{u"-o"_s, merged};
        QDirIterator it(sourceDir + u"resources/i18n"_s, {u"*_"_s + code + u".ts"_s});
        while (it.hasNext())
            arguments << u"-i"_s << it.next();
        QVERIFY(arguments.size() > 4 && run(QStringLiteral(CALVESTRA_LCONVERT), arguments));
        arguments = u"-silent -no-obsolete -locations none -extensions cpp,h,ui -I"_s.split(u' ') << sourceDir;
        for (const QString &dir : productDirs)
            arguments << sourceDir + dir;
        QVERIFY(run(QStringLiteral(CALVESTRA_LUPDATE), arguments << u"-ts"_s << merged));

        QFile file(merged);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString context, source;
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
                     && (!xml.attributes().value(u"type"_s).isEmpty() || xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().isEmpty()))
                problems << context + u"::"_s + source;
        }
        QVERIFY2(!xml.hasError() && messages > 100, qPrintable(xml.errorString()));
        QVERIFY2(problems.isEmpty(), qPrintable(u"unfinished:\n"_s + problems.join(u'\n')));
    }
};

CALVESTRA_TEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
