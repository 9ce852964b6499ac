#include "batch/runs/scan_rotation.h"

RunStatus rotateScans(const RegSettings&, const std::vector<ScanRecord>&)
{
    return RunStatus::Ok;
}
