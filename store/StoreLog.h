#pragma once

#include <QLoggingCategory>

// Logging category of the local store: database, records, scan files, pending data.
Q_DECLARE_LOGGING_CATEGORY(lcStore)
