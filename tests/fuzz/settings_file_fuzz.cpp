// libFuzzer harness: the settings program's reader; see feedSettingsFile in settings_target.h.
#include "tests/fuzz/fuzz_harness.h"
#include "tests/fuzz/settings_target.h"

TAVRIN_FUZZ_HARNESS(feedSettingsFile)
