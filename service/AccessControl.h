#pragma once

#include "RateLimiter.h"

#include <cstdint>
#include <string>

class AccountRegistry;
class FormFields;

// Who a script request comes from. With accounts, the bearer token names the account
// and the idSender field has to be that account; without (--no-auth) idSender is taken
// as sent. Requests are counted per address and per account, failed token checks per
// address: beyond the limits the answer is 429, and the token of an address that
// guessed too often is not even looked at, so guessing learns nothing more. Nodes on
// one database count failures together; past the limit, each other node lets one more
// guess through before it hears of it.
class AccessControl
{
public:
    struct Verdict
    {
        int code = 200;  // 200, or the envelope code of the refusal: 400, 401, 403, 429
        std::int32_t account = 0;
        std::string reason;
        bool ok() const { return code == 200; }
    };

    // registry null: no authentication.
    AccessControl(AccountRegistry *registry, int requestsPerMinute, int failuresPerMinute);

    bool authenticates() const { return m_registry != nullptr; }
    // Before the body is read: the address's share, then the token
    // ("Authorization: Bearer TOKEN") and the account's share.
    Verdict admit(const std::string &address, const std::string &authorization);
    // With the fields that arrived: idSender against the token's account (without
    // authentication: the idSender itself, and its share).
    Verdict checkSender(const Verdict &admitted, const FormFields &fields);

private:
    static Verdict refuse(int code, std::string reason);

    AccountRegistry *m_registry;
    RateLimiter m_perAddress;
    RateLimiter m_perAccount;
    RateLimiter m_failures;
};
