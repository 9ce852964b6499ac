#include "tests/e2e/e2e_fixture.h"

namespace {

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

    void expectSame(const TempDir& dir, const std::vector<std::string>& args, const std::string& input)
    {
        const BatchRun a = runBatch(x64_, dir.path(), args, input);
        const BatchRun b = runBatch(b32_, dir.path(), args, input);
        EXPECT_EQ(a.exitStatus, b.exitStatus);
        EXPECT_EQ(a.out, b.out);
        EXPECT_EQ(a.err, b.err);
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

}  // namespace
