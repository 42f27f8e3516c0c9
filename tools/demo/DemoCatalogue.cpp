#include "DemoCatalogue.h"

namespace DemoCatalogue {

namespace {

ZoneScan zone(const QString &name, double fatMm, int lines, QList<int> marks = {})
{
    ZoneScan scan;
    scan.zone = name;
    scan.fatMm = fatMm;
    scan.lines = lines;
    scan.marks = std::move(marks);
    return scan;
}

PastExam exam(int daysAgo, int hour, double weight, double height, int activity, QList<ZoneScan> scans)
{
    PastExam e;
    e.daysAgo = daysAgo;
    e.hour = hour;
    e.weight = weight;
    e.height = height;
    e.activityLevel = activity;
    e.scans = std::move(scans);
    return e;
}

Questionnaire generalHistory(int daysAgo, const QString &job, const QString &work, const QString &sleep,
                             const QString &smoke, const QString &water, const QString &cycle)
{
    Questionnaire q;
    q.modelFile = QStringLiteral("Anamnesi_generale.anm");
    q.daysAgo = daysAgo;
    q.answers = {{QStringLiteral("Professione"), job},
                 {QStringLiteral("Tipo di lavoro"), work},
                 {QStringLiteral("Ore di sonno per notte"), sleep},
                 {QStringLiteral("Fumo"), smoke},
                 {QStringLiteral("Consumo di alcol"), QStringLiteral("Occasionale")},
                 {QStringLiteral("Pasti al giorno"), QStringLiteral("4")},
                 {QStringLiteral("Acqua bevuta al giorno (litri)"), water},
                 {QStringLiteral("Patologie note"), QStringLiteral("Nessuna")},
                 {QStringLiteral("Farmaci assunti regolarmente"), QStringLiteral("Nessuno")},
                 {QStringLiteral("Interventi chirurgici"), QStringLiteral("Appendicectomia (2004)")},
                 {QStringLiteral("Allergie o intolleranze alimentari"), QStringLiteral("Lattosio")},
                 {QStringLiteral("Ciclo mestruale regolare"), cycle}};
    return q;
}

SampleClient person(const QString &surname, const QString &name, const QString &sex, const QDate &birthday,
                    const QString &address, const QString &city, const QString &province, const QString &zipcode,
                    const QString &phone, double height, double weight, int activityLevel)
{
    SampleClient sample;
    Client &c = sample.person;
    c.surname = surname;
    c.name = name;
    c.sex = sex;
    c.birthday = birthday;
    c.address = address;
    c.city = city;
    c.province = province;
    c.zipcode = zipcode;
    c.phone = phone;
    c.email = QStringLiteral("%1.%2@example.org").arg(name, surname).toLower().remove(QLatin1Char(' '));
    c.height = height;
    c.weight = weight;
    c.activityLevel = activityLevel;
    return sample;
}

}  // namespace

QList<SampleClient> sampleClients()
{
    QList<SampleClient> clients;

    SampleClient giulia =
        person(QStringLiteral("Rossi"), QStringLiteral("Giulia"), QStringLiteral("F"), QDate(1986, 4, 12),
               QStringLiteral("Via Po 18"), QStringLiteral("Torino"), QStringLiteral("TO"), QStringLiteral("10123"),
               QStringLiteral("347 120 4588"), 165, 68.5, 2);
    giulia.exams = {
        exam(84, 9, 68.5, 165, 1,
             {zone(QStringLiteral("Addome"), 18.0, 340, {120, 230}), zone(QStringLiteral("Fianco dx"), 15.5, 300),
              zone(QStringLiteral("Coscia dx"), 12.5, 320, {160})}),
        exam(42, 10, 66.9, 165, 2,
             {zone(QStringLiteral("Addome"), 16.2, 330, {110, 240}), zone(QStringLiteral("Fianco dx"), 14.1, 310),
              zone(QStringLiteral("Coscia dx"), 11.6, 300, {150})}),
        exam(7, 18, 65.2, 165, 2,
             {zone(QStringLiteral("Addome"), 14.4, 350, {130, 250}), zone(QStringLiteral("Fianco dx"), 12.8, 300),
              zone(QStringLiteral("Coscia dx"), 10.7, 320, {140})}),
    };
    giulia.questionnaires << generalHistory(84, QStringLiteral("Impiegata"), QStringLiteral("Sedentario"),
                                            QStringLiteral("7"), QStringLiteral("No"), QStringLiteral("1.5"),
                                            QStringLiteral("Sì"));
    Questionnaire giuliaBody;
    giuliaBody.modelFile = QStringLiteral("Composizione_corporea.anm");
    giuliaBody.daysAgo = 84;
    giuliaBody.note = QStringLiteral("Misure prese al mattino, a digiuno.");
    giuliaBody.answers = {{QStringLiteral("Obiettivo principale"), QStringLiteral("Riduzione massa grassa")},
                          {QStringLiteral("Peso desiderato (kg)"), QStringLiteral("62")},
                          {QStringLiteral("Circonferenza vita (cm)"), QStringLiteral("82.5")},
                          {QStringLiteral("Circonferenza fianchi (cm)"), QStringLiteral("104")},
                          {QStringLiteral("Circonferenza coscia dx (cm)"), QStringLiteral("61.5")},
                          {QStringLiteral("Circonferenza braccio dx (cm)"), QStringLiteral("29")},
                          {QStringLiteral("Variazione di peso negli ultimi 6 mesi"), QStringLiteral("Aumentato")},
                          {QStringLiteral("Zone di accumulo segnalate"), QStringLiteral("Addome e fianchi")},
                          {QStringLiteral("Segue un piano alimentare"), QStringLiteral("Sì con nutrizionista")},
                          {QStringLiteral("Integratori assunti"), QStringLiteral("Vitamina D")}};
    giuliaBody.marks = {QPointF(180, 262), QPointF(141, 236), QPointF(219, 236), QPointF(156, 338)};
    giuliaBody.arrows = {QRectF(QPointF(500, 300), QPointF(70, -40))};
    giulia.questionnaires << giuliaBody;
    clients << giulia;

    SampleClient marco =
        person(QStringLiteral("Bianchi"), QStringLiteral("Marco"), QStringLiteral("M"), QDate(1979, 9, 3),
               QStringLiteral("Corso Francia 102"), QStringLiteral("Torino"), QStringLiteral("TO"),
               QStringLiteral("10143"), QStringLiteral("333 871 2209"), 178, 84.0, 3);
    marco.exams = {
        exam(56, 17, 84.0, 178, 3,
             {zone(QStringLiteral("Addome"), 21.0, 360, {180}), zone(QStringLiteral("Pettorale"), 11.0, 280),
              zone(QStringLiteral("Tricipite"), 9.5, 260)}),
        exam(14, 17, 82.1, 178, 3,
             {zone(QStringLiteral("Addome"), 19.2, 340, {170}), zone(QStringLiteral("Pettorale"), 10.1, 290),
              zone(QStringLiteral("Tricipite"), 8.7, 270)}),
    };
    Questionnaire marcoSport;
    marcoSport.modelFile = QStringLiteral("Valutazione_sportiva.anm");
    marcoSport.daysAgo = 56;
    marcoSport.answers = {
        {QStringLiteral("Sport praticato"), QStringLiteral("Ciclismo su strada")},
        {QStringLiteral("Livello"), QStringLiteral("Intermedio")},
        {QStringLiteral("Allenamenti a settimana"), QStringLiteral("4")},
        {QStringLiteral("Durata media di un allenamento (minuti)"), QStringLiteral("90")},
        {QStringLiteral("Frequenza cardiaca a riposo (bpm)"), QStringLiteral("58")},
        {QStringLiteral("Tipo di allenamento prevalente"), QStringLiteral("Aerobico")},
        {QStringLiteral("Infortuni negli ultimi 12 mesi"), QStringLiteral("Distorsione caviglia sx")},
        {QStringLiteral("Dolori articolari o muscolari"), QStringLiteral("Lombari dopo uscite lunghe")},
        {QStringLiteral("Riscaldamento prima dell'allenamento"), QStringLiteral("A volte")}};
    marco.questionnaires << marcoSport;
    clients << marco;

    SampleClient anna =
        person(QStringLiteral("Esposito"), QStringLiteral("Anna"), QStringLiteral("F"), QDate(1992, 1, 25),
               QStringLiteral("Via Toledo 256"), QStringLiteral("Napoli"), QStringLiteral("NA"),
               QStringLiteral("80134"), QStringLiteral("328 455 9031"), 170, 61.0, 4);
    anna.exams = {
        exam(21, 11, 61.0, 170, 4,
             {zone(QStringLiteral("Addome"), 10.5, 300, {90, 200}), zone(QStringLiteral("Sovrailiaca"), 9.0, 280)})};
    anna.questionnaires << generalHistory(21, QStringLiteral("Istruttrice di nuoto"), QStringLiteral("In piedi"),
                                          QStringLiteral("8"), QStringLiteral("No"), QStringLiteral("2.5"),
                                          QStringLiteral("Sì"));
    clients << anna;

    SampleClient luca =
        person(QStringLiteral("Conti"), QStringLiteral("Luca"), QStringLiteral("M"), QDate(1968, 11, 30),
               QStringLiteral("Via Emilia 45"), QStringLiteral("Bologna"), QStringLiteral("BO"),
               QStringLiteral("40121"), QStringLiteral("051 224 118"), 181, 92.5, 1);
    Questionnaire lucaBody;
    lucaBody.modelFile = QStringLiteral("Composizione_corporea.anm");
    lucaBody.daysAgo = 3;
    lucaBody.answers = {{QStringLiteral("Obiettivo principale"), QStringLiteral("Riduzione massa grassa")},
                        {QStringLiteral("Peso desiderato (kg)"), QStringLiteral("84")},
                        {QStringLiteral("Circonferenza vita (cm)"), QStringLiteral("104")},
                        {QStringLiteral("Circonferenza fianchi (cm)"), QStringLiteral("108")},
                        {QStringLiteral("Variazione di peso negli ultimi 6 mesi"), QStringLiteral("Stabile")},
                        {QStringLiteral("Zone di accumulo segnalate"), QStringLiteral("Addome")},
                        {QStringLiteral("Segue un piano alimentare"), QStringLiteral("No")}};
    lucaBody.marks = {QPointF(180, 255), QPointF(180, 280)};
    luca.questionnaires << lucaBody;
    clients << luca;

    SampleClient sara =
        person(QStringLiteral("De Luca"), QStringLiteral("Sara"), QStringLiteral("F"), QDate(2001, 6, 8),
               QStringLiteral("Viale Monza 12"), QStringLiteral("Milano"), QStringLiteral("MI"),
               QStringLiteral("20125"), QStringLiteral("340 611 7720"), 160, 54.0, 3);
    clients << sara;

    SampleClient paolo =
        person(QStringLiteral("Ferrari"), QStringLiteral("Paolo"), QStringLiteral("M"), QDate(1955, 2, 14),
               QStringLiteral("Piazza Bra 3"), QStringLiteral("Verona"), QStringLiteral("VR"), QStringLiteral("37121"),
               QStringLiteral("045 800 1944"), 172, 79.0, 1);
    clients << paolo;

    return clients;
}

}  // namespace DemoCatalogue
