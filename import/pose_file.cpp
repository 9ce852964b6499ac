#include "import/pose_file.h"

#include "import/pose_records.h"

#include <cinttypes>

std::string poseFileName(const std::string& output)
{
    const std::string stem = output.size() > 5 ? output.substr(0, output.size() - 5) : output;
    return stem + ".pose.txt";
}

void putPtxPose(std::FILE* f, const std::string& input, int32_t scan, const PtxScanInfo& info, bool applied)
{
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
}

void putE57Pose(std::FILE* f, const std::string& input, int32_t scan, const E57Contents& contents, bool applied)
{
    const E57Scan& s = contents.scans[static_cast<std::size_t>(scan - 1)];
    std::fprintf(f,
                 "# Scanner pose of an E57 scan, as its file gives it (metres): a point of the file's frame\n"
                 "# is ROTATION times the scanner-frame point plus TRANSLATION.\n");
    if (applied) {
        std::fprintf(f, "# POSE_APPLIED 1: the points of the .bxyz were moved into the file's frame with the pose.\n");
    } else {
        std::fprintf(f, "# POSE_APPLIED 0: the points of the .bxyz are in the scanner's own frame.\n");
    }
    std::fprintf(f,
                 "# DATABASE_RECORD is X,Y,Z,A1,A2,A3 of the survey database record that places the scanner\n"
                 "# there: Z less the 0.29 m the batch program adds, R = Rz(A3) Ry(A2) Rx(A1) in degrees.\n");
    std::fprintf(f, "SOURCE %s\n", input.c_str());
    std::fprintf(f, "SCAN %i\n", static_cast<int>(scan));
    std::fprintf(f, "SCANS_IN_FILE %i\n", static_cast<int>(contents.scans.size()));
    std::fprintf(f, "NAME %s\n", s.name.c_str());
    std::fprintf(f, "POINT_RECORDS %" PRId64 "\n", s.records);
    std::fprintf(f, "POSE_IN_FILE %i\n", s.hasPose ? 1 : 0);
    std::fprintf(f, "POSE_APPLIED %i\n", applied ? 1 : 0);
    std::fprintf(f, "QUATERNION_WXYZ %.17g %.17g %.17g %.17g\n", s.quaternion[0], s.quaternion[1], s.quaternion[2],
                 s.quaternion[3]);
    for (int32_t k = 0; k < 3; ++k) {
        std::fprintf(f, "ROTATION_ROW_%i %.17g %.17g %.17g\n", static_cast<int>(k + 1), s.rotation[k][0],
                     s.rotation[k][1], s.rotation[k][2]);
    }
    std::fprintf(f, "TRANSLATION %.17g %.17g %.17g\n", s.translation[0], s.translation[1], s.translation[2]);
    const PoseRecord r = recordOfPose(s.rotation, s.translation);
    std::fprintf(f, "DATABASE_RECORD %.4f,%.4f,%.4f,%.6f,%.6f,%.6f\n", r.x, r.y, r.z, r.a1, r.a2, r.a3);
}
