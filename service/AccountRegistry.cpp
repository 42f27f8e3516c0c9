#include "AccountRegistry.h"

#include <openssl/evp.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace {

std::string hex(const unsigned char *data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 15]);
    }
    return out;
}

void randomBytes(unsigned char *data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::getrandom(data + done, size - done, 0);
        if (n < 0 && errno != EINTR)
            throw std::runtime_error("no random numbers from the system");
        if (n > 0)
            done += static_cast<size_t>(n);
    }
}

}  // namespace

AccountRegistry::AccountRegistry(std::unique_ptr<AccountBook> book) : m_book(std::move(book)) {}

std::string AccountRegistry::newToken()
{
    unsigned char bytes[32];
    randomBytes(bytes, sizeof bytes);
    return hex(bytes, sizeof bytes);
}

std::string AccountRegistry::hashToken(const std::string &token)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(token.data(), token.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("cannot hash a token");
    return hex(digest, size);
}

bool AccountRegistry::looksLikeToken(const std::string &text)
{
    return text.size() == 64 &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::int32_t AccountRegistry::accountFor(const std::string &token)
{
    // Anything else cannot be a token: no need to look.
    if (!looksLikeToken(token))
        return 0;
    const std::string hash = hashToken(token);
    return m_book->numberFor(hash);
}

std::string AccountRegistry::add(const std::string &name, std::int32_t &number, std::string &error)
{
    if (number < 0) {
        error = "an account number is positive";
        return {};
    }
    const bool chosen = number > 0;
    if (chosen && m_book->numberTaken(number, false)) {
        error = "account " + std::to_string(number) + " exists already";
        return {};
    }
    // Random numbers, so one account's number says nothing about another's. Another
    // process may take the same number meanwhile: then the insert fails and we pick again.
    const std::string token = newToken();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (!chosen) {
            std::uint32_t value = 0;
            randomBytes(reinterpret_cast<unsigned char *>(&value), sizeof value);
            const auto candidate = static_cast<std::int32_t>(value & 0x7fffffff);
            if (candidate < 1000 || m_book->numberTaken(candidate, true))
                continue;
            number = candidate;
        }
        if (m_book->insert(number, name, hashToken(token)))
            return token;
        if (chosen) {
            error = "account " + std::to_string(number) + " exists already";
            return {};
        }
        number = 0;
    }
    number = 0;
    error = "no free account number found";
    return {};
}

std::string AccountRegistry::rotate(std::int32_t number)
{
    const std::string token = newToken();
    return m_book->replaceHash(number, hashToken(token)) ? token : std::string();
}

bool AccountRegistry::remove(std::int32_t number)
{
    return m_book->remove(number);
}

std::vector<AccountRegistry::Account> AccountRegistry::list()
{
    return m_book->list();
}

bool AccountRegistry::takeFailure(const std::string &address, int perMinute)
{
    return m_book->takeFailure(address, perMinute);
}

bool AccountRegistry::hasAccounts()
{
    return m_book->hasAccounts();
}
