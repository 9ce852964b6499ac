#include "batch/setting_checks.h"

#include "batch/engine/search_cubes.h"
#include "batch/inputs/configuration.h"

#include <cstdio>

namespace {

bool pairsPoints(int32_t mode)
{
    return mode == 1 || mode == 3 || mode == 4 || mode == 5 || mode == 6 || mode == 7;
}

bool registers(int32_t mode)
{
    return mode == 1 || mode == 4 || mode == 6;
}

bool atLeastOne(const char* key, int32_t value)
{
    if (value >= 1)
        return true;
    std::printf("%s = %i cannot be used: change %s in the configuration file to 1 or more. \n", key, value, key);
    return false;
}

}  // namespace

bool checkSettingsForMode(const RegSettings& s)
{
    const int32_t mode = s.runMode;
    if (pairsPoints(mode)
        && (!checkCubeSizes(s) || !atLeastOne("NUMPPC", s.NUMPPC) || !atLeastOne("MINNUMPTS", s.MINNUMPTS)))
        return false;
    if (!registers(mode))
        return true;
    if (!atLeastOne("MAXITER", s.MAXITER))
        return false;
    // The partial least squares method has no repeats; the two searches need steps.
    if (s.REGSOL != 0 && !atLeastOne("MAXREPEAT", s.MAXREPEAT))
        return false;
    return !(s.REGSOL == 0 || s.REGSOL == 1) || atLeastOne("ALPHAINC", s.ALPHAINC);
}
