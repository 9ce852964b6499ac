#include "batch/runs/matrices_export.h"

RunStatus writeTransformMatrices(const RegSettings&, const std::vector<ScanRecord>&)
{
    return RunStatus::Ok;
}

RunStatus exportGeoreferencedScans(const RegSettings&, const std::vector<ScanRecord>&)
{
    return RunStatus::Ok;
}
