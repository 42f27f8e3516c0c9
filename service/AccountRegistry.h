#pragma once

#include "AccountBook.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The accounts the service serves and the hashes of their tokens, kept by an
// AccountBook (the data folder's accounts.db, readable by its owner alone, or
// PostgreSQL). A token is shown once, when it is made; only its SHA-256 is kept, so
// the storage never holds what a request has to present. Numbers are random positive 32-bit values and never handed out twice: a
// removed account keeps its row, without a token.
//
// The account command changes the rows while the service runs, and every lookup
// reads it afresh, so a rotated or removed token is refused from the next request on.
// Thread-safe. Kept apart from AccountStore: it holds no clinic data.
class AccountRegistry
{
public:
    using Account = AccountBook::Row;

    explicit AccountRegistry(std::unique_ptr<AccountBook> book);

    // The account the token belongs to, or 0.
    std::int32_t accountFor(const std::string &token);
    // Makes an account and returns its token. number 0 picks a random one that no
    // account and no stored record uses; a given number (an installation that used it
    // before the service had accounts) must not belong to another account. Empty
    // with error set when nothing was made.
    std::string add(const std::string &name, std::int32_t &number, std::string &error);
    // A new token for the account; the old one stops working. Empty when the account
    // does not exist or was removed.
    std::string rotate(std::int32_t number);
    // The account's token stops working and its number is never given again. Its
    // records stay.
    bool remove(std::int32_t number);
    std::vector<Account> list();
    bool hasAccounts();
    // See AccountBook::takeFailure.
    bool takeFailure(const std::string &address, int perMinute);

    // 256 random bits, as 64 lower-case hex digits.
    static std::string newToken();
    static std::string hashToken(const std::string &token);
    static bool looksLikeToken(const std::string &text);

private:
    std::unique_ptr<AccountBook> m_book;
};
