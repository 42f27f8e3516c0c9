#pragma once

#include <QLoggingCategory>

// Logging category of the exam workflow.
Q_DECLARE_LOGGING_CATEGORY(lcExam)
