#pragma once

#include "tests/support/batch_process.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A fresh working folder and the batch build under test (from the environment).
class BatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        build_ = batchBuildFromEnvironment();
        if (build_.exe.empty())
            GTEST_SKIP() << "BATCH_EXE is not set";
    }

    BatchRun run(const std::vector<std::string>& args, const std::string& input,
                 const std::string& argument0 = "tavrinbatch")
    {
        return runBatch(build_, dir_.path(), args, input, argument0);
    }

    std::string path(const std::string& name) const { return dir_.file(name); }
    void write(const std::string& name, const std::string& bytes) const { writeFile(dir_.file(name), bytes); }
    std::string read(const std::string& name) const { return readFile(dir_.file(name)); }
    bool exists(const std::string& name) const { return fileExists(dir_.file(name)); }

    TempDir dir_;
    BatchBuild build_;
};

/// The golden file `name` of the end-to-end tests.
std::string golden(const std::string& name);

/// `text` with every occurrence of `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to);
