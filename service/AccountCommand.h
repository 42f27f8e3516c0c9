#pragma once

// "calvestra-service account add|list|rotate|remove": the accounts of a data folder,
// changed while the service runs or not. Returns the process exit status.
namespace AccountCommand {

// argv[0] is "account".
int run(int argc, char **argv);

}  // namespace AccountCommand
