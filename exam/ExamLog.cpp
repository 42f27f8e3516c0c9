#include "exam/ExamLog.h"

Q_LOGGING_CATEGORY(lcExam, "calvestra.exam")
