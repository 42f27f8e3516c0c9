#include "scan/ScanLog.h"

Q_LOGGING_CATEGORY(lcScan, "calvestra.scan")
