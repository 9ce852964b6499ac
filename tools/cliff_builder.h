#pragma once

// Construction of the synthetic sea cliff for a seed (see cliff_scene.h).

#include "tools/cliff_scene.h"

#include <cstdint>

/// Builds the scene for a seed; its tables cover the shore from sFrom to sTo (metres
/// along-shore) and are clamped beyond. Deterministic in every build.
CliffScene buildCliffScene(uint32_t seed, double sFrom, double sTo);
