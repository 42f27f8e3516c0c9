#include "TestMain.h"

#include "tests/app/AppTestSupport.h"
#include "tests/store/StoreTestSupport.h"

#include "app/ClientEditDlg.h"
#include "store/Client.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

template <class T>
T *child(QWidget *parent, const char *name)
{
    T *widget = parent->findChild<T *>(QLatin1String(name));
    if (!widget)
        qWarning("no widget %s", name);
    return widget;
}

QPushButton *okButton(QWidget *dlg)
{
    return child<QDialogButtonBox>(dlg, "buttonBox")->button(QDialogButtonBox::Ok);
}

QPushButton *cancelButton(QWidget *dlg)
{
    return child<QDialogButtonBox>(dlg, "buttonBox")->button(QDialogButtonBox::Cancel);
}

// The row of one client as name=value pairs, every column in table order.
QString rowOf(const TempStore &store, int id)
{
    QSqlQuery query(store->m_db);
    if (!query.exec(QStringLiteral("select * from clients where id = %1").arg(id)) || !query.first())
        return QString();
    QStringList values;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        values << record.fieldName(i) + QLatin1Char('=') + query.value(i).toString();
    return values.join(QLatin1Char('|'));
}

Client storedClient(const QString &surname, const QString &name, const QString &sex)
{
    Client c;
    c.surname = surname;
    c.name = name;
    c.sex = sex;
    c.birthday = QDate(1985, 3, 21);
    c.address = QStringLiteral("Via Po 3");
    c.city = QStringLiteral("Torino");
    c.province = QStringLiteral("TO");
    c.zipcode = QStringLiteral("10123");
    c.phone = QStringLiteral("011 555");
    c.email = QStringLiteral("anna@example.org");
    c.height = 165;
    c.weight = 58.5;
    c.activityLevel = 2;
    c.web_id = 77;
    c.offline = false;
    c.saveToDB(false, false);
    return c;
}

}  // namespace

class ClientEditDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void formLayout()
    {
        TempStore store;
        ClientEditDlg dlg;
        QCOMPARE(dlg.objectName(), QStringLiteral("UserEditDlg"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Utente"));
        QCOMPARE(dlg.minimumSize(), QSize(420, 372));
        QCOMPARE(dlg.maximumSize(), QSize(420, 372));

        const struct
        {
            const char *name;
            QRect geometry;
        } widgets[] = {
            {"edName", {16, 40, 192, 22}},     {"edSurname", {216, 40, 192, 22}},
            {"dpBirthday", {16, 96, 110, 22}}, {"rbMale", {216, 96, 31, 20}},
            {"rbFemale", {264, 96, 31, 20}},   {"edPhone", {16, 160, 192, 22}},
            {"edEMail", {216, 160, 192, 22}},  {"edAddress", {16, 216, 393, 22}},
            {"edZipCode", {16, 272, 73, 22}},  {"edCity", {96, 272, 225, 22}},
            {"edProv", {336, 272, 73, 22}},    {"buttonBox", {208, 320, 192, 41}},
        };
        for (const auto &w : widgets) {
            QWidget *widget = child<QWidget>(&dlg, w.name);
            QVERIFY2(widget, w.name);
            QCOMPARE(widget->geometry(), w.geometry);
        }
        const QStringList labels{QStringLiteral("Nome"),     QStringLiteral("Cognome"),  QStringLiteral("Data di Nascita"),
                                 QStringLiteral("Sesso"),    QStringLiteral("Telefono"), QStringLiteral("EMail"),
                                 QStringLiteral("Indirizzo"), QStringLiteral("CAP"),     QStringLiteral("Località"),
                                 QStringLiteral("Provincia")};
        QStringList shown;
        for (QLabel *label : dlg.findChildren<QLabel *>())
            shown << label->text();
        for (const QString &text : labels)
            QVERIFY2(shown.contains(text), qPrintable(text));
        for (QLineEdit *edit : dlg.findChildren<QLineEdit *>()) {
            if (edit->objectName().startsWith(QLatin1String("ed")))
                QVERIFY(edit->maximumHeight() <= 24);
        }
        auto *birthday = child<QDateEdit>(&dlg, "dpBirthday");
        QVERIFY(birthday->calendarPopup());
        QCOMPARE(birthday->date(), QDate(2000, 1, 1));
        QVERIFY(child<QRadioButton>(&dlg, "rbMale")->isChecked());
        QVERIFY(!child<QRadioButton>(&dlg, "rbFemale")->isChecked());
    }

    void tabOrderAndFocus()
    {
        TempStore store;
        ClientEditDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(&dlg, "edName"));

        const QStringList expected{QStringLiteral("edName"),   QStringLiteral("edSurname"), QStringLiteral("dpBirthday"),
                                   QStringLiteral("rbMale"),   QStringLiteral("rbFemale"),  QStringLiteral("edPhone"),
                                   QStringLiteral("edEMail"),  QStringLiteral("edAddress"), QStringLiteral("edZipCode"),
                                   QStringLiteral("edCity"),   QStringLiteral("edProv")};
        // The focus chain, leaving out the inner widgets of composite editors.
        QStringList chain;
        QWidget *w = child<QWidget>(&dlg, "edName");
        for (int guard = 0; guard < 100 && chain.size() < expected.size(); ++guard) {
            if (expected.contains(w->objectName()) && !chain.contains(w->objectName()))
                chain << w->objectName();
            w = w->nextInFocusChain();
        }
        QCOMPARE(chain, expected);

        // Tab from the name really moves the keyboard focus to the surname.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(&dlg, "edSurname"));
    }

    void initFillsTheForm()
    {
        TempStore store;
        Client c = storedClient(QStringLiteral("Bianchi"), QStringLiteral("Anna"), QStringLiteral("F"));
        ClientEditDlg dlg;
        dlg.init(&c);
        QCOMPARE(child<QLineEdit>(&dlg, "edSurname")->text(), QStringLiteral("Bianchi"));
        QCOMPARE(child<QLineEdit>(&dlg, "edName")->text(), QStringLiteral("Anna"));
        QCOMPARE(child<QLineEdit>(&dlg, "edAddress")->text(), QStringLiteral("Via Po 3"));
        QCOMPARE(child<QLineEdit>(&dlg, "edCity")->text(), QStringLiteral("Torino"));
        QCOMPARE(child<QLineEdit>(&dlg, "edZipCode")->text(), QStringLiteral("10123"));
        QCOMPARE(child<QLineEdit>(&dlg, "edProv")->text(), QStringLiteral("TO"));
        QCOMPARE(child<QLineEdit>(&dlg, "edEMail")->text(), QStringLiteral("anna@example.org"));
        QCOMPARE(child<QLineEdit>(&dlg, "edPhone")->text(), QStringLiteral("011 555"));
        QCOMPARE(child<QDateEdit>(&dlg, "dpBirthday")->date(), QDate(1985, 3, 21));
        QVERIFY(child<QRadioButton>(&dlg, "rbFemale")->isChecked());
        QVERIFY(!child<QRadioButton>(&dlg, "rbMale")->isChecked());
    }

    void cancelChangesNothing()
    {
        TempStore store;
        Client c = storedClient(QStringLiteral("Bianchi"), QStringLiteral("Anna"), QStringLiteral("F"));
        const QString before = rowOf(store, c.id);
        QVERIFY(!before.isEmpty());

        ClientEditDlg dlg;
        dlg.init(&c);
        whenModal([&](QWidget *) {
            auto *surname = child<QLineEdit>(&dlg, "edSurname");
            surname->selectAll();
            QTest::keyClicks(surname, QStringLiteral("Verdi"));
            QTest::mouseClick(child<QRadioButton>(&dlg, "rbMale"), Qt::LeftButton);
            QTest::mouseClick(cancelButton(&dlg), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(c.surname, QStringLiteral("Bianchi"));
        QCOMPARE(c.sex, QStringLiteral("F"));
        QCOMPARE(c.offline, false);
        QCOMPARE(rowOf(store, c.id), before);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 1);
    }

    void okOnAnEmptyNewClient()
    {
        TempStore store;
        Client c;
        ClientEditDlg dlg;
        dlg.init(&c);
        whenModal([&](QWidget *) { QTest::mouseClick(okButton(&dlg), Qt::LeftButton); });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));

        QVERIFY(c.id > 0);
        QCOMPARE(c.surname, QString());
        QCOMPARE(c.name, QString());
        QCOMPARE(c.sex, QStringLiteral("M"));
        QCOMPARE(c.birthday, QDate(2000, 1, 1));
        QCOMPARE(c.offline, true);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 1);
        QCOMPARE(rowOf(store, c.id),
                 QStringLiteral("id=%1|web_id=0|surname=|name=|sex=M|birthday=2000-01-01|height=0|weight=0|"
                                "activityLevel=0|address=|city=|province=|zipcode=|phone=|email=|offline=1")
                     .arg(c.id));
    }

    void okStoresWhatWasTyped()
    {
        TempStore store;
        Client c;
        ClientEditDlg dlg;
        dlg.init(&c);
        whenModal([&](QWidget *) {
            // Typed in tab order, the way an operator fills the form.
            QTest::keyClicks(child<QLineEdit>(&dlg, "edName"), QStringLiteral(" Maria "));
            QTest::keyClicks(child<QLineEdit>(&dlg, "edSurname"), QStringLiteral("D'Amico"));
            child<QDateEdit>(&dlg, "dpBirthday")->setDate(QDate(1979, 11, 30));
            QTest::mouseClick(child<QRadioButton>(&dlg, "rbFemale"), Qt::LeftButton);
            QTest::keyClicks(child<QLineEdit>(&dlg, "edPhone"), QStringLiteral("+39 333"));
            QTest::keyClicks(child<QLineEdit>(&dlg, "edEMail"), QStringLiteral("m@example.org"));
            QTest::keyClicks(child<QLineEdit>(&dlg, "edAddress"), QStringLiteral("Corso Francia 10"));
            QTest::keyClicks(child<QLineEdit>(&dlg, "edZipCode"), QStringLiteral("10138"));
            QTest::keyClicks(child<QLineEdit>(&dlg, "edCity"), QStringLiteral("Torino"));
            QTest::keyClicks(child<QLineEdit>(&dlg, "edProv"), QStringLiteral("TO"));
            QTest::mouseClick(okButton(&dlg), Qt::LeftButton);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));

        QCOMPARE(rowOf(store, c.id),
                 QStringLiteral("id=%1|web_id=0|surname=D'Amico|name= Maria |sex=F|birthday=1979-11-30|height=0|"
                                "weight=0|activityLevel=0|address=Corso Francia 10|city=Torino|province=TO|"
                                "zipcode=10138|phone=+39 333|email=m@example.org|offline=1")
                     .arg(c.id));
    }

    void okOnAStoredClientUpdatesItsRow()
    {
        TempStore store;
        Client c = storedClient(QStringLiteral("Bianchi"), QStringLiteral("Anna"), QStringLiteral("F"));
        const int id = c.id;
        ClientEditDlg dlg;
        dlg.init(&c);
        whenModal([&](QWidget *) {
            auto *city = child<QLineEdit>(&dlg, "edCity");
            city->selectAll();
            QTest::keyClicks(city, QStringLiteral("Asti"));
            QTest::mouseClick(okButton(&dlg), Qt::LeftButton);
        });
        dlg.exec();
        QCOMPARE(c.id, id);
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from clients")).toInt(), 1);
        // Only what the form holds changes; the web id and the body data stay, and
        // the row waits for the service again.
        QCOMPARE(rowOf(store, id),
                 QStringLiteral("id=%1|web_id=77|surname=Bianchi|name=Anna|sex=F|birthday=1985-03-21|height=165|"
                                "weight=58.5|activityLevel=2|address=Via Po 3|city=Asti|province=TO|zipcode=10123|"
                                "phone=011 555|email=anna@example.org|offline=1")
                     .arg(id));
    }

    void anySexButFemaleIsSavedAsMale_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("saved");
        QTest::newRow("F") << "F" << "F";
        QTest::newRow("M") << "M" << "M";
        QTest::newRow("lower f") << "f" << "M";
        QTest::newRow("X") << "X" << "M";
        QTest::newRow("empty") << "" << "M";
    }
    void anySexButFemaleIsSavedAsMale()
    {
        QFETCH(QString, stored);
        QFETCH(QString, saved);
        TempStore store;
        Client c = storedClient(QStringLiteral("Neri"), QStringLiteral("Luca"), stored);
        ClientEditDlg dlg;
        dlg.init(&c);
        QCOMPARE(child<QRadioButton>(&dlg, "rbMale")->isChecked(), saved == QLatin1String("M"));
        whenModal([&](QWidget *) { QTest::mouseClick(okButton(&dlg), Qt::LeftButton); });
        dlg.exec();
        QCOMPARE(c.sex, saved);
        QCOMPARE(store.scalar(QStringLiteral("select sex from clients where id = %1").arg(c.id)).toString(), saved);
    }

    void switchingSexWithTheKeyboard()
    {
        TempStore store;
        Client c;
        ClientEditDlg dlg;
        dlg.init(&c);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto *male = child<QRadioButton>(&dlg, "rbMale");
        male->setFocus();
        // Arrow keys move the choice between the two exclusive buttons.
        QTest::keyClick(male, Qt::Key_Right);
        QVERIFY(child<QRadioButton>(&dlg, "rbFemale")->isChecked());
        QVERIFY(!male->isChecked());
        QTest::mouseClick(okButton(&dlg), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(c.sex, QStringLiteral("F"));
    }
};

CALVESTRA_TEST_MAIN(ClientEditDlgTest)
#include "tst_clienteditdlg.moc"
