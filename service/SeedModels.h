#pragma once

#include <cstddef>

// The questionnaires built into the service (generated from service/models/*.anm).
struct SeedModel
{
    const char *name;
    const char *content;
};

extern const SeedModel seedModels[];
extern const std::size_t seedModelCount;
