#pragma once

#include <QLoggingCategory>

// Logging category of the anamnesis records, form and body diagram.
Q_DECLARE_LOGGING_CATEGORY(lcAnamnesis)
