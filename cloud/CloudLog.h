#pragma once

#include <QLoggingCategory>

// Logging category of the web-service client (requests, replies, exam upload).
Q_DECLARE_LOGGING_CATEGORY(lcCloud)
