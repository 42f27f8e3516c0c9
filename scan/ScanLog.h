#pragma once

#include <QLoggingCategory>

// Logging category of scan imaging and review.
Q_DECLARE_LOGGING_CATEGORY(lcScan)
