#pragma once

#include <QLoggingCategory>

// Logging category of the application shell (start-up, windows, dialogs).
Q_DECLARE_LOGGING_CATEGORY(lcApp)
