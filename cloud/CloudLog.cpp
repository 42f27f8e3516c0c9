#include "cloud/CloudLog.h"

Q_LOGGING_CATEGORY(lcCloud, "calvestra.cloud")
