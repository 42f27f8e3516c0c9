#include "anamnesis/AnamnesisLog.h"

Q_LOGGING_CATEGORY(lcAnamnesis, "calvestra.anamnesis")
