#pragma once

#include <string>

class PgConnection;

// Creates and upgrades the service's tables in a PostgreSQL schema, one numbered step
// at a time, recorded in <schema>.schema_version. Runs under a session advisory lock,
// so service processes starting together upgrade once, one after the other.
namespace PgSchema {

// "calvestra" holds the production records and the accounts; "calvestra_dev" the
// development script's records.
constexpr const char *production = "calvestra";
constexpr const char *development = "calvestra_dev";

void upgrade(PgConnection &db, const std::string &schema);

// Replaces every "@." in sql by "<schema>.".
std::string qualify(const std::string &sql, const std::string &schema);

}  // namespace PgSchema
