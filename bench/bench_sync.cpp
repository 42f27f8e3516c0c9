// A long run of the randomized sync scenario: seeded random work through the
// application's classes against the reference service under injected faults, then a
// drain and a full comparison of the service with the local store. Runs scenarios of
// 250 operations with consecutive seeds until 1000 operations have run (about a minute;
// CALVESTRA_SYNC_OPS asks for more, CALVESTRA_SYNC_SEED for another first seed), and ends with
//   RESULT ops=... faults=... divergences=...
// where divergences must be 0.
#include "ReferenceService.h"
#include "SyncScenario.h"
#include "TestProfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char *argv[])
{
    TestProfile profile;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("calvestra.*.debug=false"));

    const int wanted = qEnvironmentVariableIsSet("CALVESTRA_SYNC_OPS") ? qEnvironmentVariableIntValue("CALVESTRA_SYNC_OPS")
                                                                      : 1000;
    const quint32 firstSeed = qEnvironmentVariableIsSet("CALVESTRA_SYNC_SEED")
                                  ? quint32(qEnvironmentVariableIntValue("CALVESTRA_SYNC_SEED"))
                                  : 1;
    constexpr int perRun = 250;
    int ops = 0;
    int faults = 0;
    int divergences = 0;
    QElapsedTimer clock;
    clock.start();
    for (quint32 seed = firstSeed; ops < wanted; ++seed) {
        ReferenceService service;
        if (!service.start()) {
            std::fprintf(stderr, "cannot start the reference service: %s\n", qPrintable(service.errorString()));
            return 1;
        }
        SyncScenario scenario(service, seed);
        const SyncScenario::Result result = scenario.run(qMin(perRun, wanted - ops));
        ops += result.operations;
        faults += result.faults;
        divergences += result.divergences;
        std::printf("seed %u: %d operations, %d faults, %d divergences, drained %s (%.1f s so far)\n", seed,
                    result.operations, result.faults, result.divergences, result.drained ? "yes" : "no",
                    clock.elapsed() / 1000.0);
        for (const QString &line : result.findings)
            std::printf("  %s\n", qPrintable(line));
        std::fflush(stdout);
    }
    std::printf("RESULT ops=%d faults=%d divergences=%d\n", ops, faults, divergences);
    return divergences == 0 ? 0 : 1;
}
