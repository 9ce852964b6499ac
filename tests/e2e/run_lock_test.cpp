// One run at a time on a survey: the lock beside the database.

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/synthetic_scans.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstring>
#include <ctime>

namespace {

const char* const MENU_END = "0 = quit and reformat your input file, \n";

class RunLockTest : public BatchTest {
protected:
    void SetUp() override
    {
        BatchTest::SetUp();
        write("survey.csv", "X,Y,Z,A1,A2,A3,ID1,ID2,NAME\n0,0,-0.29,0,0,0,1,1,S1\n0,6,-0.29,0,0,0,2,1,S2\n");
        writeBinaryScan(path("survey_001_001_S1.bxyz"), roughWall(-6.0, 12.0, 4.0, 0.2, 1));
        writeBinaryScan(path("survey_002_001_S2.bxyz"), roughWall(0.0, 12.0, 4.0, 0.2, 2));
    }

    // What the program printed after the mode answer.
    static std::string afterMenu(const std::string& out)
    {
        const std::size_t at = out.find(MENU_END);
        return at == std::string::npos ? out : out.substr(at + std::strlen(MENU_END));
    }
};

// A process id that no process has: a child that has ended and been waited for.
int endedProcessId()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return static_cast<int>(child);
}

TEST_F(RunLockTest, SecondRunIsRefusedBeforeItWritesAnything)
{
    // This test's own process stands for a run that is still going.
    const std::string lock = std::to_string(getpid()) + "\n";
    const struct {
        const char* mode;
        std::vector<std::string> args;
        const char* database;
        const char* lockFile;
    } cases[] = {{"4", {"survey.csv"}, "survey.csv", "survey.lock"},
                 {"8", {"survey.csv"}, "survey.csv", "survey.lock"},
                 {"5", {"survey.csv", "a.txt", "b.txt"}, "test.txt", "test.lock"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        write(c.lockFile, lock);
        const BatchRun r = run(c.args, std::string(c.mode) + "\n\n\n");
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(afterMenu(r.out),
                  std::string("\nAnother run is using ") + c.database + " (process " + std::to_string(getpid())
                      + "): wait for it to end, or remove " + c.lockFile + " if it is no longer running.\n");
        EXPECT_FALSE(exists("surveylog.txt"));
        EXPECT_FALSE(exists("testlog.txt"));
        EXPECT_FALSE(exists("survey_001_001_S1s.dat"));
        EXPECT_EQ(read(c.lockFile), lock);  // the other run's lock stays
        std::remove(path(c.lockFile).c_str());
    }
}

TEST_F(RunLockTest, LockOfARunThatNoLongerRunsIsTakenOver)
{
    const struct {
        const char* name;
        std::string pid;
        bool backdated;  ///< the lock is older than the process that has its number now
    } cases[] = {{"ended process", std::to_string(endedProcessId()), false},
                 {"number given to a later process", std::to_string(getpid()), true},
                 {"no process id", "", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write("survey.lock", c.pid + "\n");
        if (c.backdated) {
            const utimbuf longAgo{std::time(nullptr) - 3600, std::time(nullptr) - 3600};
            ASSERT_EQ(utime(path("survey.lock").c_str(), &longAgo), 0);
        }
        const BatchRun r = run({"survey.csv"}, "8\n\n\n");
        EXPECT_EQ(r.exitStatus, 0) << r.out;
        EXPECT_TRUE(exists("survey_001_001_S1s.dat"));
        EXPECT_FALSE(exists("survey.lock"));  // released at the end
    }
    // Released after a fatal end too: a database line that is no record.
    write("survey.csv", read("survey.csv") + "1,2,3\n");
    EXPECT_EQ(run({"survey.csv"}, "8\n\n\n").exitStatus, 1);
    EXPECT_FALSE(exists("survey.lock"));
}

}  // namespace
