#include "EndpointActions.h"

#include "AccountStore.h"
#include "BackgroundWorkers.h"
#include "ExamArchive.h"
#include "JsonRead.h"
#include "ModelLibrary.h"
#include "UploadSpool.h"

#include <algorithm>
#include <limits>
#include <thread>

namespace {

using json = nlohmann::json;
using Reply = EndpointActions::Reply;

constexpr size_t maxClientText = 4096;
constexpr size_t maxExamText = 65536;

Reply failure(int code, std::string text)
{
    Reply reply;
    reply.code = code;
    reply.extradescr = std::move(text);
    return reply;
}

// A numeric form field of a record id; a missing field reads as 0.
bool fieldId(const FormFields &fields, const char *name, std::int64_t &out)
{
    const auto value = fields.last(name);
    out = 0;
    if (!value || value->empty())
        return true;
    return JsonRead::parseInteger(*value, 0, std::numeric_limits<std::int64_t>::max(), out);
}

bool parseObject(const std::string &text, json &out)
{
    out = json::parse(text, nullptr, false);
    return !out.is_discarded() && out.is_object();
}

}  // namespace

EndpointActions::EndpointActions(AccountStore &store, const ModelLibrary &models, UploadWorkers &uploads,
                                 std::uint64_t quotaBytes)
    : m_store(store), m_models(models), m_uploads(uploads), m_quotaBytes(quotaBytes)
{
}

bool EndpointActions::parseAccount(const FormFields &fields, std::int64_t &account)
{
    const auto value = fields.last("idSender");
    return value && JsonRead::parseInteger(*value, std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::int32_t>::max(), account);
}

std::string EndpointActions::urlEncode(const std::string &text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

EndpointActions::Reply EndpointActions::run(const std::string &action, const Request &request)
{
    if (action.empty())
        return failure(400, "missing action");
    std::int64_t account = 0;
    if (!parseAccount(request.fields, account))
        return failure(400, "missing or invalid idSender");

    if (action == "getUsers")
        return getUsers(account);
    if (action == "setUserData")
        return setUserData(account, request.fields);
    if (action == "deleteUser")
        return deleteUser(account, request.fields);
    if (action == "uploadAnamnesi")
        return uploadAnamnesi(account, request.fields);
    if (action == "deleteAnamnesi")
        return deleteAnamnesi(account, request.fields);
    if (action == "getUserAnamnesis")
        return getUserAnamnesis(account, request.fields);
    if (action == "getAnamnesiModels")
        return getAnamnesiModels(request);
    if (action == "uploadExamZip")
        return uploadExamZip(account, request);
    if (action == "getUserWorks")
        return getUserWorks(account, request.fields);
    return failure(400, "unknown action: " + action);
}

EndpointActions::Reply EndpointActions::getUsers(std::int64_t account)
{
    Reply reply;
    // The list is asked for far more often than it changes: its text is kept until the
    // account's clients change (on any node: the version lives in the storage).
    const std::int64_t version = m_store.clientsVersion(account);
    reply.dataText = m_clientLists.find(account, version);
    if (reply.dataText)
        return reply;
    // Every member of a user is text, numbers included: that is how the client reads them.
    json users = json::array();
    for (const ClientRecord &c : m_store.clients(account)) {
        users.push_back({{"id", std::to_string(c.id)},
                         {"name", c.name},
                         {"surname", c.surname},
                         {"birthday", c.birthday},
                         {"sex", c.sex},
                         {"address", c.address},
                         {"city", c.city},
                         {"province", c.province},
                         {"zipcode", c.zipcode},
                         {"phone", c.phone},
                         {"email", c.email},
                         {"height", JsonRead::formatNumber(c.height)},
                         {"weight", JsonRead::formatNumber(c.weight)},
                         {"syncKey", c.syncKey}});
    }
    reply.data["users"] = std::move(users);
    reply.dataText = m_clientLists.store(
        account, version, reply.data.dump(-1, ' ', false, json::error_handler_t::replace));
    return reply;
}

EndpointActions::Reply EndpointActions::setUserData(std::int64_t account, const FormFields &fields)
{
    json data;
    if (!parseObject(fields.lastOr("data"), data))
        return failure(400, "data is not a JSON object");
    ClientRecord c;
    if (!JsonRead::integer(data, "id", c.id))
        return failure(400, "invalid id");
    const std::pair<const char *, std::string *> texts[] = {
        {"surname", &c.surname}, {"name", &c.name},         {"sex", &c.sex},
        {"address", &c.address}, {"city", &c.city},         {"province", &c.province},
        {"zipcode", &c.zipcode}, {"phone", &c.phone},       {"email", &c.email},
        {"birthday", &c.birthday}, {"syncKey", &c.syncKey}};
    for (const auto &[key, target] : texts) {
        if (!JsonRead::text(data, key, *target, maxClientText))
            return failure(400, std::string("invalid ") + key);
    }
    if (!c.birthday.empty() && !JsonRead::isIsoDate(c.birthday))
        return failure(400, "invalid birthday");
    if (!JsonRead::number(data, "height", c.height) || !JsonRead::number(data, "weight", c.weight))
        return failure(400, "invalid height or weight");

    Reply reply;
    reply.data["id"] = m_store.saveClient(account, c);
    return reply;
}

EndpointActions::Reply EndpointActions::deleteUser(std::int64_t account, const FormFields &fields)
{
    std::int64_t id = 0;
    if (!fieldId(fields, "idUser", id))
        return failure(400, "invalid idUser");
    // Deleting what is not there (never sent, already gone) leaves the wanted state.
    Reply reply;
    reply.data["deleted"] = id > 0 && m_store.deleteClient(account, id);
    return reply;
}

EndpointActions::Reply EndpointActions::uploadAnamnesi(std::int64_t account, const FormFields &fields)
{
    AnamnesiRecord a;
    if (!fieldId(fields, "idUser", a.idUser))
        return failure(400, "invalid idUser");
    if (!fieldId(fields, "idAnamnesi", a.id))
        return failure(400, "invalid idAnamnesi");
    a.object = fields.lastOr("data");
    json data;
    if (!parseObject(a.object, data))
        return failure(400, "data is not a JSON object");
    if (!JsonRead::text(data, "Name", a.name, maxClientText) ||
        !JsonRead::text(data, "Date", a.anamnesiDate, maxClientText) ||
        !JsonRead::text(data, "syncKey", a.syncKey, maxClientText))
        return failure(400, "invalid Name, Date or syncKey");

    const std::int64_t id = a.idUser > 0 ? m_store.saveAnamnesi(account, a) : 0;
    if (id == 0)
        return failure(404, "client not found");
    Reply reply;
    reply.data["id"] = id;
    return reply;
}

EndpointActions::Reply EndpointActions::deleteAnamnesi(std::int64_t account, const FormFields &fields)
{
    std::int64_t id = 0;
    if (!fieldId(fields, "idAnamnesi", id))
        return failure(400, "invalid idAnamnesi");
    Reply reply;
    reply.data["deleted"] = id > 0 && m_store.deleteAnamnesi(account, id);
    return reply;
}

EndpointActions::Reply EndpointActions::getUserAnamnesis(std::int64_t account, const FormFields &fields)
{
    std::int64_t idUser = 0;
    if (!fieldId(fields, "idUser", idUser))
        return failure(400, "invalid idUser");
    const auto list = m_store.anamnesis(account, idUser);
    if (!list)
        return failure(404, "client not found");
    json items = json::array();
    for (const AnamnesiRecord &a : *list) {
        items.push_back({{"id", a.id},
                         {"idUser", a.idUser},
                         {"name", a.name},
                         {"anamnesiDate", a.anamnesiDate},
                         {"object", a.object},
                         {"syncKey", a.syncKey}});
    }
    Reply reply;
    reply.data["anamnesis"] = std::move(items);
    return reply;
}

EndpointActions::Reply EndpointActions::getAnamnesiModels(const Request &request)
{
    json files = json::array();
    for (const std::string &name : m_models.names())
        files.push_back(request.publicBase + "/Apps/Movelta/models/" + urlEncode(name));
    Reply reply;
    reply.data["files"] = std::move(files);
    return reply;
}

EndpointActions::Reply EndpointActions::uploadExamZip(std::int64_t account, const Request &request)
{
    json exam;
    if (!parseObject(request.fields.lastOr("exam"), exam))
        return failure(400, "exam is not a JSON object");
    WorkRecord work;
    std::int64_t kind = 2;
    std::int64_t subKind = 2;
    std::int64_t activity = 0;
    if (!JsonRead::integer(exam, "idUser", work.idUser) || !JsonRead::integer(exam, "kind", kind) ||
        !JsonRead::integer(exam, "subKind", subKind) || !JsonRead::integer(exam, "activityLevel", activity) ||
        !JsonRead::number(exam, "weight", work.weight) || !JsonRead::number(exam, "height", work.height) ||
        !JsonRead::number(exam, "bodyFat", work.bodyFat) ||
        !JsonRead::text(exam, "examDate", work.examDate, 10) ||
        !JsonRead::text(exam, "notes", work.note, maxExamText) ||
        !JsonRead::text(exam, "examZones", work.examZones, maxExamText))
        return failure(400, "invalid exam member");
    const auto fitsInt = [](std::int64_t v) {
        return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
    };
    if (!fitsInt(kind) || !fitsInt(subKind) || !fitsInt(activity))
        return failure(400, "invalid exam member");
    work.kind = static_cast<int>(kind);
    work.examKind = static_cast<int>(subKind);
    work.activityLevel = static_cast<int>(activity);
    if (!JsonRead::isIsoDate(work.examDate))
        return failure(400, "invalid examDate");
    if (work.idUser <= 0 || !m_store.hasClient(account, work.idUser))
        return failure(404, "client not found");
    if (!request.archive)
        return failure(400, "missing archive");

    std::string error;
    ExamArchive archive(&m_uploads.unpacking);
    AccountStore::ExamOutcome outcome = AccountStore::ExamOutcome::BadArchive;
    const bool opened = request.archive->inMemory() ? archive.openBytes(request.archive->bytes(), error)
                                                    : archive.open(request.archive->path(), error);
    if (opened) {
        if (request.archiveNames) {
            for (const ExamArchive::Entry &entry : archive.entries())
                *request.archiveNames += entry.name + "\n";
        }
        outcome = m_uploads.storing.run([&] { return m_store.storeExam(account, work, archive, m_quotaBytes, error); });
    }
    switch (outcome) {
    case AccountStore::ExamOutcome::Stored:
        break;
    case AccountStore::ExamOutcome::UnknownClient:
        return failure(404, "client not found");
    case AccountStore::ExamOutcome::QuotaExceeded:
        return failure(405, "web space exhausted");
    case AccountStore::ExamOutcome::BadArchive:
        return failure(400, error);
    }
    Reply reply;
    reply.data["idUser"] = work.idUser;
    reply.data["examDate"] = work.examDate;
    reply.data["id"] = work.id;
    return reply;
}

EndpointActions::Reply EndpointActions::getUserWorks(std::int64_t account, const FormFields &fields)
{
    std::int64_t idUser = 0;
    if (!fieldId(fields, "idUser", idUser))
        return failure(400, "invalid idUser");
    const auto list = m_store.works(account, idUser);
    if (!list)
        return failure(404, "client not found");
    json items = json::array();
    for (const WorkRecord &w : *list) {
        items.push_back({{"id", w.id},
                         {"idUser", w.idUser},
                         {"date", w.examDate},
                         {"examKind", w.examKind},
                         {"weight", w.weight},
                         {"height", w.height},
                         {"bodyFat", w.bodyFat},
                         {"activityLevel", w.activityLevel},
                         {"note", w.note},
                         {"examZones", w.examZones},
                         {"scanFilenames", w.scanFilenames}});
    }
    Reply reply;
    reply.data["works"] = std::move(items);
    return reply;
}
