#include "import/pose_file.h"

#include "batch/replacement_file.h"

#include <cinttypes>

std::string poseFileName(const std::string& output)
{
    const std::string stem = output.size() > 5 ? output.substr(0, output.size() - 5) : output;
    return stem + ".pose.txt";
}

bool writePoseFile(const std::string& path, const std::string& input, int32_t scan, const PtxScanInfo& info,
                   bool applied, std::string& error)
{
    ReplacementFile file;
    if (!file.open(path, error)) {
        return false;
    }
    std::FILE* f = file.file();
    const PtxPose& p = info.pose;
    std::fprintf(f, "# Scanner pose of a PTX scan, as its header gives it (metres).\n");
    if (applied) {
        std::fprintf(
            f, "# POSE_APPLIED 1: the points of the .bxyz were moved into the registered frame with TRANSFORM.\n");
    } else {
        std::fprintf(f,
                     "# POSE_APPLIED 0: the points of the .bxyz are in the scanner's own frame; TRANSFORM moves them\n"
                     "# into the registered frame.\n");
    }
    std::fprintf(f,
                 "# TRANSFORM_ROW_1..4 are the transform lines as written: a point [x y z 1] times this matrix\n"
                 "# (or the matrix times the point, when the translation stands in the last column).\n");
    std::fprintf(f, "SOURCE %s\n", input.c_str());
    std::fprintf(f, "SCAN %i\n", static_cast<int>(scan));
    std::fprintf(f, "SCANS_IN_FILE %i\n", static_cast<int>(info.scansFound));
    std::fprintf(f, "COLUMNS %" PRId64 "\n", p.columns);
    std::fprintf(f, "ROWS %" PRId64 "\n", p.rows);
    std::fprintf(f, "POSE_APPLIED %i\n", applied ? 1 : 0);
    std::fprintf(f, "SCANNER_POSITION %.17g %.17g %.17g\n", p.scanner[0], p.scanner[1], p.scanner[2]);
    static const char* const AXIS_KEYS[3] = {"SCANNER_AXIS_X", "SCANNER_AXIS_Y", "SCANNER_AXIS_Z"};
    for (int32_t k = 0; k < 3; ++k) {
        std::fprintf(f, "%s %.17g %.17g %.17g\n", AXIS_KEYS[k], p.axes[k][0], p.axes[k][1], p.axes[k][2]);
    }
    for (int32_t k = 0; k < 4; ++k) {
        std::fprintf(f, "TRANSFORM_ROW_%i %.17g %.17g %.17g %.17g\n", static_cast<int>(k + 1), p.transform[k][0],
                     p.transform[k][1], p.transform[k][2], p.transform[k][3]);
    }
    return file.commit(error);
}
