#pragma once

#include <QString>

#include <functional>

// How one request to the service ended, for the one who sent it.
struct ServiceOutcome
{
    // 200 on success; otherwise the code of the service's envelope, -1 when no reply
    // came (transport error, time-out), 0 when the reply could not be read, noAccount
    // when nothing was sent because no account is configured.
    int code = 0;
    static constexpr int noAccount = -2;
    QString error;
    int webId = 0;  // saves: the id the service gave the record
    bool ok() const { return code == 200; }
};

using OutcomeHandler = std::function<void(const ServiceOutcome &)>;
