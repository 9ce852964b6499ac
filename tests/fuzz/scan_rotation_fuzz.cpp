// libFuzzer harness: scan rotation reader; see feedScanRotation in fuzz_targets.h.
#include "tests/fuzz/fuzz_harness.h"
#include "tests/fuzz/fuzz_targets.h"

TAVRIN_FUZZ_HARNESS(feedScanRotation)
