// libFuzzer harness: tavrin_import's E57 reader; see feedE57Import in import_feeds.h.
#include "tests/fuzz/fuzz_harness.h"
#include "tests/fuzz/import_feeds.h"

TAVRIN_FUZZ_HARNESS(feedE57Import)
