// The inputs that the fuzzers found, and their seed corpora, replayed through the
// same feed functions as the libFuzzer harnesses (tests/fuzz). In the sanitizer build
// a regression shows as an AddressSanitizer or UndefinedBehaviorSanitizer report.
#include "tests/fuzz/fuzz_targets.h"
#ifdef TAVRIN_FUZZ_SETTINGS
#include "tests/fuzz/settings_target.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace fs = std::filesystem;

namespace {

const fs::path FUZZ_DIR = TAVRIN_FUZZ_DIR;

struct Regression {
    const char* reader;  ///< folder under regressions/
    const char* file;
};

// Each input once crashed its reader or broke the reader's contract.
const Regression REGRESSIONS[] = {
    // Any settings file, even an empty one: "-1e+10 is outside the range of representable
    // values of type 'int'" (the loader turned XMIN's real default into an int).
    {"settings_file", "empty.txt"},
    // Two scans reaching 1000 km apart with 1 mm cubes: "signed integer overflow:
    // 1000000004000000004 * 1000000002" while counting the cubes of the grid.
    {"pair_preparation", "cube_count_overflow"},
    // A scan file opening "ply\n" under a .bxyz name: refused as a scanner's file, which
    // the rotation's contract did not yet allow for.
    {"scan_rotation", "scanner_file_named_bxyz"},
};

// The readers this build can drive; the settings program's needs Qt.
std::vector<FuzzReader> availableReaders()
{
    std::vector<FuzzReader> readers(std::begin(BATCH_READERS), std::end(BATCH_READERS));
#ifdef TAVRIN_FUZZ_SETTINGS
    readers.push_back({"settings_file", feedSettingsFile});
#endif
    return readers;
}

FeedFunction feedFor(const std::string& reader)
{
    for (const FuzzReader& r : availableReaders())
        if (reader == r.name)
            return r.feed;
    return nullptr;
}

std::string bytesOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Feeds one file, with the reader's console output kept out of the test log.
std::string replay(FeedFunction feed, const fs::path& path)
{
    const std::string bytes = bytesOf(path);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const std::string finding = feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    return finding;
}

std::vector<fs::path> filesUnder(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file())
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(FuzzRegressions, SavedInputsReadCleanly)
{
    for (const Regression& r : REGRESSIONS) {
        const FeedFunction feed = feedFor(r.reader);
        if (feed == nullptr)
            continue;  // the settings reader in a build without Qt
        const fs::path path = FUZZ_DIR / "regressions" / r.reader / r.file;
        SCOPED_TRACE(path.string());
        ASSERT_TRUE(fs::is_regular_file(path));
        EXPECT_EQ(replay(feed, path), "");
    }
}

// A saved input without an entry above would run nowhere and explain nothing.
TEST(FuzzRegressions, EverySavedInputIsListed)
{
    std::set<fs::path> listed;
    for (const Regression& r : REGRESSIONS)
        listed.insert(FUZZ_DIR / "regressions" / r.reader / r.file);
    for (const fs::path& file : filesUnder(FUZZ_DIR / "regressions")) {
        SCOPED_TRACE(file.string());
        EXPECT_EQ(listed.count(file), 1u);
    }
}

TEST(FuzzCorpus, SeedsReadCleanly)
{
    for (const FuzzReader& reader : availableReaders()) {
        const std::vector<fs::path> seeds = filesUnder(FUZZ_DIR / "corpus" / reader.name);
        SCOPED_TRACE(reader.name);
        EXPECT_FALSE(seeds.empty());
        for (const fs::path& seed : seeds) {
            SCOPED_TRACE(seed.filename().string());
            EXPECT_EQ(replay(reader.feed, seed), "");
        }
    }
}

}  // namespace
