#include "batch/setting_checks.h"

#include "batch/engine/search_cubes.h"
#include "batch/inputs/configuration.h"
#include "batch/runs/mode_work.h"

#include <cstdio>

namespace {

bool atLeastOne(const char* key, int32_t value)
{
    if (value >= 1)
        return true;
    std::printf("%s = %i cannot be used: change %s in the configuration file to 1 or more. \n", key, value, key);
    return false;
}

// HEADINGSEARCH is a half-width in degrees: 0 (no search) to 180 (the whole turn).
bool headingSearchUsable(double value)
{
    if (value >= 0.0 && value <= 180.0)
        return true;
    std::printf("HEADINGSEARCH = %lf cannot be used: change HEADINGSEARCH in the configuration file to 0 to 180 "
                "degrees. \n",
                value);
    return false;
}

}  // namespace

bool checkSettingsForMode(const RegSettings& s, const ModeWork& work)
{
    if (s.THREADS < 0) {
        std::printf("THREADS = %i cannot be used: change THREADS in the configuration file to 0 (every core) or "
                    "more. \n",
                    s.THREADS);
        return false;
    }
    if (work.pairsPoints()
        && (!checkCubeSizes(s) || !atLeastOne("NUMPPC", s.NUMPPC) || !atLeastOne("MINNUMPTS", s.MINNUMPTS)))
        return false;
    if (!work.registers())
        return true;
    if (!atLeastOne("MAXITER", s.MAXITER))
        return false;
    // The partial least squares method has no repeats; the two searches need steps.
    if (s.REGSOL != 0 && !atLeastOne("MAXREPEAT", s.MAXREPEAT))
        return false;
    if (s.REGSOL == 3 && !headingSearchUsable(s.HEADINGSEARCH))
        return false;
    return !(s.REGSOL == 0 || s.REGSOL == 1) || atLeastOne("ALPHAINC", s.ALPHAINC);
}
