#include "TestMain.h"

#include "exam/ZoneChooserDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QTranslator>

namespace {

struct Parts
{
    explicit Parts(ZoneChooserDialog &d)
        : combo(d.findChild<QComboBox *>(QStringLiteral("cbZones")))
        , buttons(d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox")))
        , label(d.findChild<QLabel *>(QStringLiteral("label")))
    {
    }
    QLineEdit *edit() const { return combo->lineEdit(); }
    QPushButton *ok() const { return buttons->button(QDialogButtonBox::Ok); }
    QPushButton *cancel() const { return buttons->button(QDialogButtonBox::Cancel); }

    QComboBox *combo;
    QDialogButtonBox *buttons;
    QLabel *label;
};

// Types text the way a keyboard does, also characters that have no key of their own.
void typeText(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            QTest::keyClick(w, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Runs the dialog modally; `act` runs once it is up. Returns exec()'s result.
int runWith(ZoneChooserDialog &d, const std::function<void()> &act)
{
    QTimer::singleShot(0, &d, [&d, act] {
        if (QTest::qWaitForWindowExposed(&d))
            act();
        // Whatever act did, the run ends within the test's time.
        QTimer::singleShot(3000, &d, [&d] {
            if (d.isVisible())
                d.done(-7);
        });
    });
    return d.exec();
}

}  // namespace

class ZoneChooserTest : public QObject
{
    Q_OBJECT

private slots:
    void formAndZoneList()
    {
        ZoneChooserDialog d;
        Parts p(d);
        QVERIFY(p.combo && p.buttons && p.label);
        QCOMPARE(d.objectName(), QStringLiteral("ZoneChooserDialog"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Scegli Zona"));
        QCOMPARE(d.size(), QSize(238, 120));
        QCOMPARE(p.label->text(), QStringLiteral("Selezionare o scrivere la zona scansionata:"));
        QVERIFY(p.combo->isEditable());
        QCOMPARE(p.buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

        const QStringList expected = {
            "Coscia dx",   "Coscia sx",   "Petto dx",     "Petto sx",     "Fianco dx",    "Fianco sx",
            "Vita",        "Polpaccio dx", "Polpaccio sx", "Bicipite dx",  "Bicipite sx",  "Tricipite dx",
            "Tricipite sx", "Spalla dx",   "Spalla sx",    "Ascella dx",   "Ascella sx",   "Collo dx",
            "Collo sx",    "Scapola dx",  "Scapola sx",
        };
        QStringList shown;
        for (int i = 0; i < p.combo->count(); ++i)
            shown << p.combo->itemText(i);
        QCOMPARE(shown, expected);
        QCOMPARE(p.combo->currentText(), QStringLiteral("Coscia dx"));
        QCOMPARE(d.zone, QStringLiteral("Coscia dx"));
        // The whole text is selected, so typing replaces it.
        QCOMPARE(p.edit()->selectedText(), QStringLiteral("Coscia dx"));
    }

    void acceptingAtOnceGivesTheFirstZone()
    {
        ZoneChooserDialog d;
        Parts p(d);
        const int result = runWith(d, [&] { QTest::mouseClick(p.ok(), Qt::LeftButton); });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(d.zone, QStringLiteral("Coscia dx"));
    }

    void cancelRejects()
    {
        ZoneChooserDialog d;
        Parts p(d);
        const int result = runWith(d, [&] {
            QTest::keyClicks(p.edit(), QStringLiteral("Vita"));
            QTest::mouseClick(p.cancel(), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Rejected));
    }

    void typedTextIsFiltered_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("zone");
        QTest::newRow("dash and slash") << QStringLiteral("Coscia-dx/2") << QStringLiteral("Cosciadx2");
        QTest::newRow("only symbols") << QStringLiteral("-/.:*?") << QString();
        QTest::newRow("u with diaeresis") << QStringLiteral("Sch\u00fcrze") << QStringLiteral("Schrze");
        QTest::newRow("a with grave accent") << QStringLiteral("Met\u00e0 vita") << QStringLiteral("Met\u00e0 vita");
        QTest::newRow("the six accented vowels")
            << QStringLiteral("\u00e0\u00e8\u00e9\u00f2\u00f9\u00ec") << QStringLiteral("\u00e0\u00e8\u00e9\u00f2\u00f9\u00ec");
        QTest::newRow("capital accented letter") << QStringLiteral("\u00c0nca") << QStringLiteral("nca");
        QTest::newRow("underscore digits blanks") << QStringLiteral("Punto_3 b") << QStringLiteral("Punto_3 b");
        QTest::newRow("dots quotes backslash") << QStringLiteral("a.b'c\"d\\e") << QStringLiteral("abcde");
        QTest::newRow("percent plus colon") << QStringLiteral("50%+1:2") << QStringLiteral("5012");
    }
    void typedTextIsFiltered()
    {
        QFETCH(QString, typed);
        QFETCH(QString, zone);
        ZoneChooserDialog d;
        Parts p(d);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        // The selected text is replaced by what is typed.
        typeText(p.edit(), typed);
        QCOMPARE(d.zone, zone);
        // The filter never shows: the box keeps the text as typed.
        QCOMPARE(p.combo->currentText(), typed);
        QCOMPARE(ZoneChooserDialog::filterZone(typed), zone);
    }

    void typedZoneIsKeptAfterOk()
    {
        ZoneChooserDialog d;
        Parts p(d);
        const int result = runWith(d, [&] {
            QTest::keyClicks(p.edit(), QStringLiteral("Gluteo/dx"));
            QTest::mouseClick(p.ok(), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(d.zone, QStringLiteral("Gluteodx"));
    }

    void enterAcceptsTheTypedZone()
    {
        ZoneChooserDialog d;
        Parts p(d);
        const int result = runWith(d, [&] {
            QTest::keyClicks(p.edit(), QStringLiteral("Nuca"));
            QTest::keyClick(p.edit(), Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(d.zone, QStringLiteral("Nuca"));
        // Typing does not add to the fixed list.
        QCOMPARE(p.combo->count(), 21);
    }

    void choosingFromTheList()
    {
        ZoneChooserDialog d;
        Parts p(d);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QTest::keyClick(p.combo, Qt::Key_Down);
        QCOMPARE(d.zone, QStringLiteral("Coscia sx"));
        p.combo->setCurrentIndex(6);
        QCOMPARE(d.zone, QStringLiteral("Vita"));
        p.combo->setCurrentIndex(20);
        QCOMPARE(d.zone, QStringLiteral("Scapola sx"));
    }

    void initPreselects()
    {
        ZoneChooserDialog d;
        Parts p(d);
        d.init(QStringLiteral("Polpaccio sx"));
        QCOMPARE(d.zone, QStringLiteral("Polpaccio sx"));
        QCOMPARE(p.combo->currentText(), QStringLiteral("Polpaccio sx"));
        QCOMPARE(p.edit()->selectedText(), QStringLiteral("Polpaccio sx"));

        // A zone outside the list is shown as it is.
        d.init(QStringLiteral("Nuca"));
        QCOMPARE(d.zone, QStringLiteral("Nuca"));
        QCOMPARE(p.combo->currentText(), QStringLiteral("Nuca"));

        // A text that differs from the shown one goes through the filter.
        d.init(QStringLiteral("Nuca-2"));
        QCOMPARE(d.zone, QStringLiteral("Nuca2"));
        QCOMPARE(p.combo->currentText(), QStringLiteral("Nuca-2"));

        // Accepting right away keeps the preselected zone; typing replaces it.
        d.init(QStringLiteral("Vita"));
        int result = runWith(d, [&] { QTest::mouseClick(p.ok(), Qt::LeftButton); });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(d.zone, QStringLiteral("Vita"));

        // The list completes what is typed; Delete drops the completion.
        d.init(QStringLiteral("Vita"));
        QString completed;
        result = runWith(d, [&] {
            QTest::keyClicks(p.edit(), QStringLiteral("Collo"));
            completed = d.zone;
            QTest::keyClick(p.edit(), Qt::Key_Delete);
            QTest::mouseClick(p.ok(), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(completed, QStringLiteral("Collo dx"));
        QCOMPARE(d.zone, QStringLiteral("Collo"));
        QCOMPARE(p.combo->currentText(), QStringLiteral("Collo"));
    }

    void aReusedChooserShowsTheLastZone()
    {
        ZoneChooserDialog d;
        Parts p(d);
        int result = runWith(d, [&] {
            p.combo->setCurrentIndex(9);
            QTest::mouseClick(p.ok(), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(d.zone, QStringLiteral("Bicipite dx"));
        result = runWith(d, [&] { QTest::mouseClick(p.ok(), Qt::LeftButton); });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(d.zone, QStringLiteral("Bicipite dx"));
        QCOMPARE(p.combo->currentText(), QStringLiteral("Bicipite dx"));
    }

    // Each zone becomes the start of file names: in every language the list must hold
    // 21 distinct names that the filter leaves as they are.
    void translatedZonesSurviveTheFilter_data()
    {
        QTest::addColumn<QString>("lang");
        for (const char *lang : {"en", "pt", "pt-br"})
            QTest::newRow(lang) << QString::fromLatin1(lang);
    }
    void translatedZonesSurviveTheFilter()
    {
        QFETCH(QString, lang);
        const QStringList italian = ZoneChooserDialog::zoneList();
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/i18n/") + lang));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        const QStringList zones = ZoneChooserDialog::zoneList();
        ZoneChooserDialog d;
        QCoreApplication::removeTranslator(&translator);

        QCOMPARE(zones.size(), 21);
        QCOMPARE(QSet<QString>(zones.begin(), zones.end()).size(), 21);
        int translated = 0;
        for (int i = 0; i < zones.size(); ++i) {
            QVERIFY2(!zones.at(i).trimmed().isEmpty(), qPrintable(italian.at(i)));
            QCOMPARE(ZoneChooserDialog::filterZone(zones.at(i)), zones.at(i));
            translated += zones.at(i) != italian.at(i) ? 1 : 0;
        }
        QCOMPARE(translated, 21);
        // The dialog built under the translation offers the translated names.
        QCOMPARE(d.zone, zones.first());
        QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cbZones"))->itemText(20), zones.at(20));
    }
};

CALVESTRA_TEST_MAIN(ZoneChooserTest)
#include "tst_zonechooser.moc"
