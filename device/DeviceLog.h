#pragma once

#include <QLoggingCategory>

// Logging category of the scanner link (USB protocol, acquisition thread, scan files).
Q_DECLARE_LOGGING_CATEGORY(lcDevice)
