#include "tools/deterministic_math.h"

#include <cmath>

namespace {

// pi/2 split so that k * PIO2_HI is exact for |k| < 2^20 (Cody-Waite reduction).
constexpr double PIO2_HI = 1.57079632673412561417e+00;
constexpr double PIO2_LO = 6.07710050650619224932e-11;
constexpr double TWO_OVER_PI = 6.36619772367581382433e-01;

// ln 2 split the same way for the exponent part of the logarithm.
constexpr double LN2_HI = 6.93147180369123816490e-01;
constexpr double LN2_LO = 1.90821492927058770002e-10;

// Minimax kernels on [-pi/4, pi/4] (the well-known fdlibm coefficients).
double kernelSin(double r)
{
    const double z = r * r;
    const double p = 8.33333333332248946124e-03
        + z
            * (-1.98412698298579493134e-04
               + z * (2.75573137070700676789e-06 + z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)));
    return r + r * z * (-1.66666666666666324348e-01 + z * p);
}

double kernelCos(double r)
{
    const double z = r * r;
    const double p = 4.16666666666666019037e-02
        + z
            * (-1.38888888888741095749e-03
               + z
                   * (2.48015872894767294178e-05
                      + z
                          * (-2.75573143513906633035e-07
                             + z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11))));
    return 1.0 - (0.5 * z - z * z * p);
}

struct Reduced {
    double r = 0.0;        ///< remainder in [-pi/4, pi/4], radians
    int32_t quadrant = 0;  ///< k mod 4, where x = k * pi/2 + r
};

Reduced reduce(double x)
{
    const double k = std::floor(x * TWO_OVER_PI + 0.5);
    Reduced out;
    out.r = (x - k * PIO2_HI) - k * PIO2_LO;
    const int64_t ki = static_cast<int64_t>(k);
    out.quadrant = static_cast<int32_t>(((ki % 4) + 4) % 4);
    return out;
}

}  // namespace

uint32_t streamSeed(uint32_t seed, uint32_t stream)
{
    // splitmix64 finaliser: neighbouring (seed, stream) pairs give unrelated seeds.
    uint64_t z = (static_cast<uint64_t>(seed) << 32) ^ (static_cast<uint64_t>(stream) * 0x9E3779B97F4A7C15ULL);
    z += 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<uint32_t>(z >> 32);
}

double uniform01(std::mt19937& gen)
{
    const uint64_t a = static_cast<uint64_t>(gen()) >> 5;                    // 27 bits
    const uint64_t b = static_cast<uint64_t>(gen()) >> 6;                    // 26 bits
    return static_cast<double>((a << 26) | b) * (1.0 / 9007199254740992.0);  // / 2^53
}

double uniformIn(std::mt19937& gen, double lo, double hi) { return lo + (hi - lo) * uniform01(gen); }

uint32_t uniformIndex(std::mt19937& gen, uint32_t count)
{
    const uint64_t range = 4294967296ULL;
    const uint64_t limit = range - range % count;  // largest multiple of count
    for (;;) {
        const uint64_t v = gen();
        if (v < limit) {
            return static_cast<uint32_t>(v % count);
        }
    }
}

double gaussian(std::mt19937& gen)
{
    for (;;) {
        const double u = 2.0 * uniform01(gen) - 1.0;
        const double v = 2.0 * uniform01(gen) - 1.0;
        const double s = u * u + v * v;
        if (s > 0.0 && s < 1.0) {
            return u * std::sqrt(-2.0 * detLog(s) / s);
        }
    }
}

double detSin(double x)
{
    const Reduced red = reduce(x);
    switch (red.quadrant) {
    case 0:
        return kernelSin(red.r);
    case 1:
        return kernelCos(red.r);
    case 2:
        return -kernelSin(red.r);
    default:
        return -kernelCos(red.r);
    }
}

double detCos(double x)
{
    const Reduced red = reduce(x);
    switch (red.quadrant) {
    case 0:
        return kernelCos(red.r);
    case 1:
        return -kernelSin(red.r);
    case 2:
        return -kernelCos(red.r);
    default:
        return kernelSin(red.r);
    }
}

double detLog(double x)
{
    // x = m * 2^e with m in [sqrt(1/2), sqrt(2)); frexp and the scaling are exact.
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        e -= 1;
    }
    // log(m) = 2 atanh(f), f = (m - 1) / (m + 1), |f| <= 0.1716: the odd series
    // converges by a factor of at least 34 per term.
    const double f = (m - 1.0) / (m + 1.0);
    const double f2 = f * f;
    double sum = 0.0;
    for (int32_t k = 21; k >= 3; k -= 2) {
        sum = (sum + 1.0 / static_cast<double>(k)) * f2;
    }
    const double logM = 2.0 * f + 2.0 * f * sum;
    const double de = static_cast<double>(e);
    return (de * LN2_HI + logM) + de * LN2_LO;
}
