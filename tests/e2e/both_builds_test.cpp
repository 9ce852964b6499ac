#include "tests/e2e/e2e_fixture.h"
#include "tests/support/synthetic_scans.h"

#include "batch/engine/transform.h"

#include <cstdio>

namespace {

// The elapsed seconds of the time messages: the emulated 32-bit build runs slower.
std::string withoutSeconds(std::string out)
{
    for (std::size_t at = out.find(" seconds \n"); at != std::string::npos; at = out.find(" seconds \n", at + 9)) {
        std::size_t digits = at;
        while (digits > 0 && out[digits - 1] >= '0' && out[digits - 1] <= '9')
            --digits;
        out.replace(digits, at - digits, "#");
        at = digits;
    }
    return out;
}

// Both builds must print the same bytes for the same input.
class BothBuilds : public testing::Test {
protected:
    void SetUp() override
    {
        x64_ = batchBuildFromEnvironment("_X64");
        b32_ = batchBuildFromEnvironment("_32B");
        if (x64_.exe.empty() || b32_.exe.empty())
            GTEST_SKIP() << "BATCH_EXE_X64 and BATCH_EXE_32B are not set";
    }

    void expectSame(const TempDir& dir, const std::vector<std::string>& args, const std::string& input,
                    const std::vector<std::string>& outputs = {})
    {
        for (const std::string& name : outputs)
            std::remove(dir.file(name).c_str());
        const BatchRun a = runBatch(x64_, dir.path(), args, input);
        std::vector<std::string> written;
        for (const std::string& name : outputs)
            written.push_back(readFile(dir.file(name)));
        for (const std::string& name : outputs)
            std::remove(dir.file(name).c_str());
        const BatchRun b = runBatch(b32_, dir.path(), args, input);
        EXPECT_EQ(a.exitStatus, b.exitStatus);
        EXPECT_EQ(withoutSeconds(a.out), withoutSeconds(b.out));
        EXPECT_EQ(a.err, b.err);
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            EXPECT_FALSE(written[i].empty()) << outputs[i];
            EXPECT_EQ(readFile(dir.file(outputs[i])), written[i]) << outputs[i];
        }
    }

    BatchBuild x64_;
    BatchBuild b32_;
};

TEST_F(BothBuilds, StartUpPrintsTheSame)
{
    TempDir dir;
    writeFile(dir.file("survey.csv"),
              "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n"
              "475010.123456789,3640000.5,5.2,0.1,0.2,30.000001,1,42,S1\n"
              "475012,3640020.25,5.1,0,0,45,2,42,S2\n475011,3640045,5,0,0,90,3,42,S3\n");
    writeFile(dir.file("ipcreg.txt"), "TRANSX 475000.3\nTRANSY 3640000.7\nALPHA 1.23456789\nMAXITER 99999999999\n");
    expectSame(dir, {"survey.csv"}, "12\n\n\n");
    expectSame(dir, {"survey.csv"}, "99999999999\n\n\n");
}

TEST_F(BothBuilds, EveryModeWritesTheSameBytes)
{
    TempDir dir;
    std::string database = "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n";
    const double turns[] = {0.0, 0.4, -0.3};
    const double level1 = 0.1 * 3.14159265 / 180.0, level2 = -0.2 * 3.14159265 / 180.0;
    for (int k = 0; k < 3; ++k) {
        std::vector<CubePoint> points = roughWall(6.0 * k - 6.0, 12.0, 4.0, 0.12, static_cast<uint32_t>(k + 1));
        rotateAboutVertical(points, turns[k] * 3.14159265 / 180.0, 0.0, 6.0 * k);
        // Into the scanner's frame: the inverse of the scan transform (level angles, position).
        const Matrix4 m = makeScanTransform(level1, level2, 0.0, 1.0, 0.0, 6.0 * k, 0.0);
        for (CubePoint& p : points) {
            const double d[3] = {p.x - m[0][3], p.y - m[1][3], p.z - m[2][3]};
            p.x = m[0][0] * d[0] + m[1][0] * d[1] + m[2][0] * d[2];
            p.y = m[0][1] * d[0] + m[1][1] * d[1] + m[2][1] * d[2];
            p.z = m[0][2] * d[0] + m[1][2] * d[1] + m[2][2] * d[2];
        }
        writeBinaryScan(dir.file("survey_00" + std::to_string(k + 1) + "_001_S" + std::to_string(k + 1) + ".bxyz"),
                        points);
        database += "475000," + std::to_string(3640000 + 6 * k) + ",-0.29,0.1,-0.2,0," + std::to_string(k + 1) + ",1,S"
            + std::to_string(k + 1) + "\n";
    }
    writeFile(dir.file("survey.csv"), database);
    const std::string settings = "TRANSX 475000\nTRANSY 3640000\nNUMPPC 5\nMINNUMPTS 30\nGPSMAXDIST 7\n"
                                 "RMSTHRESH 0.001\n";
    const std::vector<std::string> runAll = {"surveyreg.csv", "surveyrot.csv", "surveyrms.csv",
                                             "survey_002_001_S2._rot.txt"};
    for (const char* method : {"REGSOL 0\nMAXITER 3\n", "REGSOL 1\nMAXITER 2\nMAXREPEAT 2\n",
                               "REGSOL 2\nMAXITER 20\nMAXREPEAT 5\n", "REGSOL 3\n"}) {
        SCOPED_TRACE(method);
        writeFile(dir.file("ipcreg.txt"), settings + method);
        expectSame(dir, {"survey.csv"}, "4\n\n\n", runAll);
    }
    expectSame(dir, {"survey.csv"}, "6\n\n\n", {"surveyreg.csv"});
    expectSame(dir, {"survey.csv"}, "7\n\n\n", {"surveyrms.csv"});
    expectSame(dir, {"survey.csv"}, "8\n\n\n", {"survey_001_001_S1s.dat"});
    expectSame(dir, {"survey.csv"}, "9\n\n\n", {"survey_003_001_S3._adj.txt"});
    expectSame(dir, {"x.csv", "survey_001_001_S1._rot.txt", "survey_002_001_S2._rot.txt"}, "5\n\n",
               {"RMSdistances.txt", "PointsScan1.txt", "PointsScan2.txt"});
}

}  // namespace
