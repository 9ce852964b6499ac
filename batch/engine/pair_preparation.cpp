#include "batch/engine/pair_preparation.h"

#include "batch/engine/pair_context.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"

#include <cstdio>

PrepareResult prepareRegistration(const RegSettings&, const std::vector<ScanRecord>&, PairContext&)
{
    std::printf("Preparing data for registration.... \n");
    return PrepareResult::NoPoints;
}
