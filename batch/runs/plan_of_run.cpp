#include "batch/runs/plan_of_run.h"

#include "batch/inputs/configuration.h"
#include "batch/runs/mode_work.h"
#include "batch/runs/run_state.h"

namespace {

const char* whatWasDone(int32_t mode)
{
    switch (mode) {
    case 1:
        return "registration, final RMS of each pair";
    case 3:
        return "RMS evaluation (rmswave)";
    case 4:
        return "Run ALL, RMS after rotation (rmswave)";
    case 6:
        return "site registration, final RMS of each pair";
    case 7:
        return "site RMS evaluation (rmswave)";
    default:
        return "run";
    }
}

}  // namespace

RunPlan planOfRun(const RegSettings& settings, const RunState& run, std::size_t scanCount)
{
    RunPlan plan;
    plan.title = settings.gpsFileName + ": " + whatWasDone(run.runMode);
    plan.pairs = run.pairs;
    if (!run.turnedBy.empty())
        plan.headingCorrection = run.turnedBy;  // what the rotation applied
    else if (modeWork(run.runMode).registers())
        plan.headingCorrection = meanCorrections(run.pairs, scanCount);  // what a rotation would apply
    plan.transX = settings.TRANSX;
    plan.transY = settings.TRANSY;
    return plan;
}
