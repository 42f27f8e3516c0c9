#include "AccountCommand.h"

#include "AccountRegistry.h"
#include "JsonRead.h"
#include "PgConnection.h"
#include "ServiceOptions.h"
#include "StorageFactory.h"

#include <cstdio>
#include <exception>
#include <limits>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::fputs("Usage: calvestra-service account add --name NAME [--number N] [--data DIR | --db URL]\n"
               "       calvestra-service account list [--data DIR | --db URL]\n"
               "       calvestra-service account rotate N [--data DIR | --db URL]\n"
               "       calvestra-service account remove N [--data DIR | --db URL]\n",
               stderr);
    return 2;
}

bool parseNumber(const std::string &text, std::int32_t &number)
{
    std::int64_t value = 0;
    if (!JsonRead::parseInteger(text, 1, std::numeric_limits<std::int32_t>::max(), value))
        return false;
    number = static_cast<std::int32_t>(value);
    return true;
}

void printToken(std::int32_t number, const std::string &token)
{
    std::printf("number=%d\ntoken=%s\n", number, token.c_str());
    std::fflush(stdout);
    std::fputs("The token is shown only now: give it to the installation with its number "
               "(calvestra-account --id NUMBER --token -). The service keeps only its hash.\n",
               stderr);
}

}  // namespace

int AccountCommand::run(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    const std::string verb = argv[1];
    std::string dataDir;
    std::string dbUrl;
    std::string name;
    std::string numberText;
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--data" || arg == "--db" || arg == "--name" || arg == "--number") && i + 1 < argc)
            (arg == "--data" ? dataDir : arg == "--db" ? dbUrl : arg == "--name" ? name : numberText) = argv[++i];
        else if (arg.rfind("--", 0) == 0)
            return usage();
        else
            positional.push_back(arg);
    }
    if (!dbUrl.empty() && !isPostgresUrl(dbUrl))
        return usage();
    if (dataDir.empty())
        dataDir = ServiceOptionsParser::defaultDataDir();
    if (dataDir.empty()) {
        std::fputs("calvestra-service: no data folder: give --data DIR\n", stderr);
        return 2;
    }

    std::int32_t number = 0;
    if (verb == "add") {
        if (name.empty() || !positional.empty() || (!numberText.empty() && !parseNumber(numberText, number)))
            return usage();
    } else if (verb == "rotate" || verb == "remove") {
        if (positional.size() != 1 || !name.empty() || !parseNumber(positional.front(), number))
            return usage();
    } else if (verb != "list" || !positional.empty()) {
        return usage();
    }

    try {
        StorageFactory storage(dataDir, dbUrl);
        AccountRegistry registry(storage.openAccountBook());
        if (verb == "add") {
            std::string error;
            const std::string token = registry.add(name, number, error);
            if (token.empty()) {
                std::fprintf(stderr, "calvestra-service: %s\n", error.c_str());
                return 1;
            }
            printToken(number, token);
        } else if (verb == "rotate") {
            const std::string token = registry.rotate(number);
            if (token.empty()) {
                std::fprintf(stderr, "calvestra-service: no account %d\n", number);
                return 1;
            }
            printToken(number, token);
        } else if (verb == "remove") {
            if (!registry.remove(number)) {
                std::fprintf(stderr, "calvestra-service: no account %d\n", number);
                return 1;
            }
            std::printf("account %d removed: its token is refused from now on; its records stay\n", number);
        } else {
            for (const AccountRegistry::Account &a : registry.list())
                std::printf("%d\t%s\tcreated %s\ttoken of %s%s\n", a.number, a.name.c_str(), a.created.c_str(),
                            a.tokenChanged.c_str(), a.removed ? "\tremoved" : "");
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "calvestra-service: %s\n", e.what());
        return 1;
    }
    return 0;
}
