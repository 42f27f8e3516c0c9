#include "AccessControl.h"

#include "AccountRegistry.h"
#include "EndpointActions.h"
#include "FormFields.h"

AccessControl::AccessControl(AccountRegistry *registry, int requestsPerMinute, int failuresPerMinute)
    : m_registry(registry), m_perAddress(requestsPerMinute), m_perAccount(requestsPerMinute),
      m_failures(failuresPerMinute)
{
}

AccessControl::Verdict AccessControl::refuse(int code, std::string reason)
{
    Verdict v;
    v.code = code;
    v.reason = std::move(reason);
    return v;
}

AccessControl::Verdict AccessControl::admit(const std::string &address, const std::string &authorization)
{
    if (!m_perAddress.take(address))
        return refuse(429, "too many requests");
    if (!m_registry)
        return {};
    if (!m_failures.hasRoom(address))
        return refuse(429, "too many requests");
    const std::string scheme = "Bearer ";
    std::int32_t account = 0;
    if (authorization.size() > scheme.size() && authorization.compare(0, scheme.size(), scheme) == 0)
        account = m_registry->accountFor(authorization.substr(scheme.size()));
    if (account <= 0) {
        m_failures.take(address);
        // Nodes sharing the accounts count an address's failures together: once it has
        // used up the limit across them, this node stops looking at its tokens too.
        if (!m_registry->takeFailure(address, m_failures.perMinute()))
            m_failures.drain(address);
        return refuse(401, authorization.empty() ? "authentication required" : "token refused");
    }
    if (!m_perAccount.take(std::to_string(account)))
        return refuse(429, "too many requests");
    Verdict v;
    v.account = account;
    return v;
}

AccessControl::Verdict AccessControl::checkSender(const Verdict &admitted, const FormFields &fields)
{
    if (!admitted.ok())
        return admitted;
    std::int64_t sender = 0;
    if (!EndpointActions::parseAccount(fields, sender))
        return refuse(400, "missing or invalid idSender");
    if (!m_registry) {
        if (!m_perAccount.take(std::to_string(sender)))
            return refuse(429, "too many requests");
        Verdict v;
        v.account = static_cast<std::int32_t>(sender);
        return v;
    }
    // Also 0 and below: no account has such a number.
    if (sender != admitted.account)
        return refuse(403, "idSender is not the token's account");
    return admitted;
}
