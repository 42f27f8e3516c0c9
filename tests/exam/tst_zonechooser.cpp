// The body-zone question: the fixed zones and what typing keeps of a zone (it starts the
// scan's file names), in every language. How it is answered: tst_examdlg.
#include "TestMain.h"

#include "exam/ZoneChooserDialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSet>
#include <QTranslator>

class ZoneChooserTest : public QObject
{
    Q_OBJECT

private slots:
    void typedZoneIsFiltered_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("zone");
        QTest::newRow("dash and slash") << QStringLiteral("Coscia-dx/2") << QStringLiteral("Cosciadx2");
        QTest::newRow("only symbols") << QStringLiteral("-/.:*?") << QString();
        QTest::newRow("u with diaeresis") << QStringLiteral("Sch\u00fcrze") << QStringLiteral("Schrze");
        QTest::newRow("the six accented vowels") << QStringLiteral("Met\u00e0 \u00e8\u00e9\u00f2\u00f9\u00ec") << QStringLiteral("Met\u00e0 \u00e8\u00e9\u00f2\u00f9\u00ec");
        QTest::newRow("capital accented letter") << QStringLiteral("\u00c0nca") << QStringLiteral("nca");
        QTest::newRow("underscore digits blanks") << QStringLiteral("Punto_3 b") << QStringLiteral("Punto_3 b");
        QTest::newRow("dots quotes backslash") << QStringLiteral("a.b'c\"d\\e%+:") << QStringLiteral("abcde");
    }
    void typedZoneIsFiltered()
    {
        QFETCH(QString, typed);
        QFETCH(QString, zone);
        ZoneChooserDialog d;
        QLineEdit *edit = d.findChild<QComboBox *>(QStringLiteral("cbZones"))->lineEdit();
        for (const QChar c : typed)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QCOMPARE(edit->text(), typed);
        QCOMPARE(d.zone, zone);
    }

    // Enter accepts what the question shows: the zone it was opened on, one picked or typed.
    void enterAcceptsTheZoneShown_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("zone");
        QTest::newRow("listed zone") << QStringLiteral("Petto sx") << QString() << 0 << QStringLiteral("Petto sx");
        QTest::newRow("typed zone") << QStringLiteral("Punto 3") << QString() << 0 << QStringLiteral("Punto 3");
        QTest::newRow("next after the preset") << QStringLiteral("Vita") << QString() << 1 << QStringLiteral("Polpaccio dx");
        QTest::newRow("completed while typing") << QStringLiteral("Vita") << QStringLiteral("Fia") << 0 << QStringLiteral("Fianco dx");
    }
    void enterAcceptsTheZoneShown()
    {
        QFETCH(QString, preset);
        QFETCH(QString, typed);
        QFETCH(int, downs);
        QFETCH(QString, zone);
        ZoneChooserDialog d;
        d.init(preset);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QComboBox *zones = d.findChild<QComboBox *>(QStringLiteral("cbZones"));
        QTest::keyClicks(zones, typed);
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(zones, Qt::Key_Down);
        QTest::keyClick(zones, Qt::Key_Return);
        QVERIFY(d.result() == QDialog::Accepted && !d.isVisible());
        QCOMPARE(d.zone, zone);
    }

    // In every language the list holds 21 distinct names that the filter leaves as they are.
    void translatedZones_data()
    {
        QTest::addColumn<QString>("lang");
        for (const char *lang : {"en", "pt", "pt-br"})
            QTest::newRow(lang) << QString::fromLatin1(lang);
    }
    void translatedZones()
    {
        QFETCH(QString, lang);
        const QStringList italian = ZoneChooserDialog::zoneList();
        QCOMPARE(italian.join(','), QStringLiteral("Coscia dx,Coscia sx,Petto dx,Petto sx,Fianco dx,Fianco sx,Vita,Polpaccio dx,Polpaccio sx,"
                                                   "Bicipite dx,Bicipite sx,Tricipite dx,Tricipite sx,Spalla dx,Spalla sx,Ascella dx,"
                                                   "Ascella sx,Collo dx,Collo sx,Scapola dx,Scapola sx"));
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/i18n/") + lang) && QCoreApplication::installTranslator(&translator));
        const QStringList zones = ZoneChooserDialog::zoneList();
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(QSet<QString>(zones.begin(), zones.end()).size(), 21);
        for (int i = 0; i < zones.size(); ++i)
            QVERIFY2(!zones[i].trimmed().isEmpty() && ZoneChooserDialog::filterZone(zones[i]) == zones[i] && zones[i] != italian[i], qPrintable(italian[i]));
    }
};

CALVESTRA_TEST_MAIN(ZoneChooserTest)
#include "tst_zonechooser.moc"
