#pragma once

#include "FormFields.h"

#include <nlohmann/json.hpp>

#include "ClientListCache.h"

#include <cstdint>
#include <memory>
#include <string>

class AccountStore;
class ModelLibrary;
class UploadSpool;
struct UploadWorkers;

// The operations of the service script, each turning the received fields into the
// reply envelope's status code, description and data.
class EndpointActions
{
public:
    struct Request
    {
        FormFields fields;
        const UploadSpool *archive = nullptr;  // the received "UPLOADS" file, if one came
        std::string publicBase;   // "http://host:port" as the client reaches the service
        std::string *archiveNames = nullptr;  // filled with the entry names, for the request log
    };

    struct Reply
    {
        int code = 200;
        std::string extradescr;
        nlohmann::json data = nlohmann::json::object();
        // When set, the data object already written as JSON text (a cached client list).
        std::shared_ptr<const std::string> dataText;
    };

    EndpointActions(AccountStore &store, const ModelLibrary &models, UploadWorkers &uploads, std::uint64_t quotaBytes);

    Reply run(const std::string &action, const Request &request);

    // idSender as sent: a 32-bit decimal integer.
    static bool parseAccount(const FormFields &fields, std::int64_t &account);
    // Percent-encodes everything but the unreserved characters of a URL.
    static std::string urlEncode(const std::string &text);

private:
    Reply getUsers(std::int64_t account);
    Reply setUserData(std::int64_t account, const FormFields &fields);
    Reply deleteUser(std::int64_t account, const FormFields &fields);
    Reply uploadAnamnesi(std::int64_t account, const FormFields &fields);
    Reply deleteAnamnesi(std::int64_t account, const FormFields &fields);
    Reply getUserAnamnesis(std::int64_t account, const FormFields &fields);
    Reply getAnamnesiModels(const Request &request);
    Reply uploadExamZip(std::int64_t account, const Request &request);
    Reply getUserWorks(std::int64_t account, const FormFields &fields);

    AccountStore &m_store;
    const ModelLibrary &m_models;
    UploadWorkers &m_uploads;
    std::uint64_t m_quotaBytes;
    ClientListCache m_clientLists;
};
