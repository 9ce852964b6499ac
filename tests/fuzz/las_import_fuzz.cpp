// libFuzzer harness: tavrin_import's LAS reader; see feedLasImport in import_feeds.h.
#include "tests/fuzz/fuzz_harness.h"
#include "tests/fuzz/import_feeds.h"

TAVRIN_FUZZ_HARNESS(feedLasImport)
