// libFuzzer harness: text points reader; see feedTextPoints in fuzz_targets.h.
#include "tests/fuzz/fuzz_harness.h"
#include "tests/fuzz/fuzz_targets.h"

TAVRIN_FUZZ_HARNESS(feedTextPoints)
