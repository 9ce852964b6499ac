// libFuzzer harness: survey database reader; see feedSurveyDatabase in fuzz_targets.h.
#include "tests/fuzz/fuzz_harness.h"
#include "tests/fuzz/fuzz_targets.h"

TAVRIN_FUZZ_HARNESS(feedSurveyDatabase)
