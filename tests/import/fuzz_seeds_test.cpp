// The seed corpora of tavrin_import's fuzz harnesses, replayed through the same feed
// functions; inputs the fuzzers once broke are kept among the seeds.
#include "tests/fuzz/import_feeds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(ImportFuzzSeeds, EverySeedReadsCleanly)
{
    for (const ImportFuzzReader& reader : IMPORT_READERS) {
        SCOPED_TRACE(reader.name);
        std::vector<fs::path> seeds;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(fs::path(IMPORT_FUZZ_DIR) / "corpus" / reader.name, error)) {
            seeds.push_back(entry.path());
        }
        std::sort(seeds.begin(), seeds.end());
        EXPECT_FALSE(seeds.empty());
        for (const fs::path& seed : seeds) {
            SCOPED_TRACE(seed.filename().string());
            std::ifstream in(seed, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(reader.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "");
        }
    }
}

}  // namespace
