#include "anamnesis/Anamnesi.h"

#include "anamnesis/AnamnesisLog.h"
#include "store/DataModule.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSqlQuery>
#include <QVariant>

#include <stdexcept>

Anamnesi::Anamnesi()
    : m_dataModule(DataModule::instance())
{
}

void Anamnesi::loadFromByteArray(const QByteArray &json)
{
    marks.clear();
    lines.clear();
    questions.clear();
    diagram.clear();
    hasDiagram = false;

    // Anything that is not a JSON object reads as an empty one.
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    version = root.value(QStringLiteral("Version")).toInt(0);
    name = root.value(QStringLiteral("Name")).toString();
    date = QDateTime::fromString(root.value(QStringLiteral("Date")).toString(), dateFormat);
    code = root.value(QStringLiteral("Code")).toString();
    note = root.value(QStringLiteral("Note")).toString();

    if (root.contains(QStringLiteral("Diagram"))) {
        diagram = root.value(QStringLiteral("Diagram")).toString();
        hasDiagram = !(diagram.isEmpty() || diagram == QStringLiteral("NO"));
        if (hasDiagram && root.contains(QStringLiteral("DiagramDraw"))) {
            const QJsonObject draw = root.value(QStringLiteral("DiagramDraw")).toObject();
            const QJsonArray markArray = draw.value(QStringLiteral("marks")).toArray();
            for (const QJsonValue &value : markArray) {
                const QJsonObject mark = value.toObject();
                marks.append(QPointF(mark.value(QStringLiteral("x")).toDouble(), mark.value(QStringLiteral("y")).toDouble()));
            }
            const QJsonArray lineArray = draw.value(QStringLiteral("lines")).toArray();
            for (const QJsonValue &value : lineArray) {
                const QJsonObject line = value.toObject();
                const QPointF start(line.value(QStringLiteral("x1")).toDouble(), line.value(QStringLiteral("y1")).toDouble());
                const QPointF end(line.value(QStringLiteral("x2")).toDouble(), line.value(QStringLiteral("y2")).toDouble());
                lines.append(QRectF(start, end));
            }
        }
    }

    const QJsonArray questionArray = root.value(QStringLiteral("Questions")).toArray();
    for (const QJsonValue &value : questionArray) {
        const QJsonObject object = value.toObject();
        Question question;
        question.type = object.value(QStringLiteral("Type")).toInt(0);
        question.text = object.value(QStringLiteral("Text")).toString();
        question.answer = object.value(QStringLiteral("Answer")).toString();
        if (question.type == qtNumber) {
            // Model files say "Decimals"; records written here say "decimails".
            const QString key = object.contains(QStringLiteral("Decimals")) ? QStringLiteral("Decimals")
                                                                           : QStringLiteral("decimails");
            question.decimals = object.value(key).toInt(0);
        } else if (question.type == qtChoice) {
            question.options = object.value(QStringLiteral("Options")).toString();
        }
        questions.append(question);
    }
}

void Anamnesi::loadFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcAnamnesis).noquote() << "Failed to open file:" << path;
        return;
    }
    loadFromByteArray(file.readAll());
}

void Anamnesi::loadFromDB(int recordId, bool byWebId)
{
    const QString sql = (byWebId ? QStringLiteral("select * from anamnesis where web_id = ")
                                 : QStringLiteral("select * from anamnesis where id = "))
                        + QString::number(recordId);
    QSqlQuery query(store()->m_db);
    query.setForwardOnly(true);
    if (!query.exec(sql) || !query.first())
        return;
    id = query.value(QStringLiteral("id")).toInt();
    idClient = query.value(QStringLiteral("idClient")).toInt();
    web_id = query.value(QStringLiteral("web_id")).toInt();
    offline = query.value(QStringLiteral("offline")).toBool();
    syncKey = query.value(QStringLiteral("syncKey")).toString();
    loadFromByteArray(query.value(QStringLiteral("object")).toByteArray());
}

bool Anamnesi::SaveToDB(bool upload, bool byWebId)
{
    return store()->saveAnamnesi(this, byWebId, upload);
}

QJsonObject Anamnesi::getJsonObject() const
{
    QJsonObject root;
    root.insert(QStringLiteral("Version"), 2);
    root.insert(QStringLiteral("Name"), name);
    root.insert(QStringLiteral("Date"), date.isValid() ? date.toString(dateFormat) : QString());
    root.insert(QStringLiteral("Code"), code);
    root.insert(QStringLiteral("Note"), note);
    if (hasDiagram) {
        root.insert(QStringLiteral("Diagram"), diagram);
        QJsonArray markArray;
        for (const QPointF &point : marks)
            markArray.append(QJsonObject{{QStringLiteral("x"), point.x()}, {QStringLiteral("y"), point.y()}});
        QJsonArray lineArray;
        for (const QRectF &line : lines) {
            lineArray.append(QJsonObject{{QStringLiteral("x1"), line.x()},
                                         {QStringLiteral("y1"), line.y()},
                                         {QStringLiteral("x2"), line.x() + line.width()},
                                         {QStringLiteral("y2"), line.y() + line.height()}});
        }
        root.insert(QStringLiteral("DiagramDraw"),
                    QJsonObject{{QStringLiteral("marks"), markArray}, {QStringLiteral("lines"), lineArray}});
    }
    QJsonArray questionArray;
    for (const Question &question : questions) {
        QJsonObject object{{QStringLiteral("Type"), question.type},
                           {QStringLiteral("Text"), question.text},
                           {QStringLiteral("Answer"), question.answer}};
        if (question.type == qtNumber)
            object.insert(QStringLiteral("decimails"), question.decimals);
        else if (question.type == qtChoice)
            object.insert(QStringLiteral("Options"), question.options);
        questionArray.append(object);
    }
    root.insert(QStringLiteral("Questions"), questionArray);
    return root;
}

void Anamnesi::assign(const Anamnesi *src)
{
    if (src == this)
        return;
    name = src->name;
    note = src->note;
    code = src->code;
    date = src->date;
    id = src->id;
    web_id = src->web_id;
    idClient = src->idClient;
    offline = src->offline;
    syncKey = src->syncKey;
    hasDiagram = src->hasDiagram;
    diagram = src->diagram;
    marks = src->marks;
    lines = src->lines;
    questions.clear();
    for (const Question &source : src->questions) {
        Question copy;
        copy.type = source.type;
        copy.text = source.text;
        copy.decimals = source.decimals;
        copy.answer = source.answer;
        copy.options = source.options;
        questions.append(copy);
    }
}

void Anamnesi::clear()
{
    name.clear();
    note.clear();
    code.clear();
    date = QDateTime();
    questions.clear();
}

namespace {

bool countAboveZero(const QString &sql)
{
    QSqlQuery query;
    if (!query.exec(sql))
        throw std::runtime_error("web_id_exists query fault.");
    return query.first() && query.value(QStringLiteral("cnt")).toInt() > 0;
}

}  // namespace

bool Anamnesi::web_id_exists(int webId)
{
    return countAboveZero(QStringLiteral("select count(id) as cnt from anamnesis where web_id = ") + QString::number(webId));
}

bool Anamnesi::id_exists(int recordId)
{
    return countAboveZero(QStringLiteral("select count(id) as cnt from anamnesis where id = ") + QString::number(recordId));
}

DataModule *Anamnesi::store() const
{
    return m_dataModule ? m_dataModule.data() : DataModule::instance();
}
