#pragma once

// Random numbers and elementary functions that give the same bits in every build.
//
// The example survey must be byte-identical for a seed on every platform and in the
// 64-bit and the 32-bit (SSE2) builds. The C library's sin, cos and log may differ in
// the last bit between those builds, and the standard distributions differ between
// library implementations, so everything here is built from +, -, *, / and sqrt
// (correctly rounded in IEEE arithmetic) and from std::mt19937's raw output (whose
// sequence the standard fixes). Accuracy is a few units in the last place, far more
// than a synthetic survey needs.

#include <cstdint>
#include <random>

inline constexpr double PI = 3.14159265358979323846;
inline constexpr double DEG = PI / 180.0;  ///< radians per degree

/// A 32-bit generator seed derived from a user seed and a stream number, so that
/// independent parts of the survey (scene, set-ups, each scan's noise) draw from
/// separate streams and do not shift when another part draws more or fewer values.
uint32_t streamSeed(uint32_t seed, uint32_t stream);

/// Uniform in [0, 1) with 53 random bits.
double uniform01(std::mt19937& gen);

/// Uniform in [lo, hi).
double uniformIn(std::mt19937& gen, double lo, double hi);

/// Uniform integer in [0, count), count >= 1 (rejection sampling, no modulo bias).
uint32_t uniformIndex(std::mt19937& gen, uint32_t count);

/// Standard normal deviate (Marsaglia's polar method; the second value of each pair
/// is discarded so that every call consumes whole pairs and stays reproducible).
double gaussian(std::mt19937& gen);

/// sin and cos of x (radians); accurate to about 1e-16 for |x| up to 1e5.
double detSin(double x);
double detCos(double x);

/// Natural logarithm of x > 0.
double detLog(double x);
