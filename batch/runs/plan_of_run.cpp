#include "batch/runs/plan_of_run.h"

#include "batch/inputs/configuration.h"
#include "batch/runs/mode_work.h"
#include "batch/runs/pair_figures.h"
#include "batch/runs/run_state.h"

#include <ctime>
#include <string>

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

bool samePair(const PlanPair& p, int32_t a, int32_t b)
{
    return (p.scan1 == a && p.scan2 == b) || (p.scan1 == b && p.scan2 == a);
}

std::string methodName(int32_t regsol)
{
    const std::string number = "REGSOL " + std::to_string(regsol);
    switch (regsol) {
    case 0:
        return number + ", partial least squares";
    case 1:
        return number + ", iterative search";
    case 3:
        return number + ", point-to-plane Gauss-Newton";
    default:
        return number + ", ping-pong least squares";
    }
}

// The day of the run, as the local clock has it.
std::string todaysDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm day{};
    char text[16] = "";
    if (localtime_r(&now, &day) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d", &day);
    return text;
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
    plan.headingSigma = run.headingSigma;
    // The survey's noise floor, from the figures of its last point-to-plane registration:
    // the same for every plan of the survey, so their colours compare.
    plan.noiseFloor = medianNoiseFloor(loadPairFigures(settings.pairsFileName));
    // Run ALL draws its evaluation: its pairs show what their registration came to.
    for (PlanPair& p : plan.pairs) {
        for (const auto& [a, b] : run.rejectedPairs)
            p.rejected = p.rejected || samePair(p, a, b);
        for (const auto& [a, b] : run.notTrustedPairs)
            p.notTrusted = p.notTrusted || samePair(p, a, b);
    }
    plan.method = methodName(settings.REGSOL);
    plan.adjust = settings.ADJUST;
    plan.date = todaysDate();
    return plan;
}
