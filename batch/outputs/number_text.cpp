#include "batch/outputs/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// A 128-bit unsigned value in two halves: the product of a 53-bit significand and a
// million needs 73 bits. Built from 32-bit pieces so that both builds compute it alike.
struct Wide {
    uint64_t hi = 0;
    uint64_t lo = 0;
};

Wide timesMillion(uint64_t significand)
{
    const uint64_t low = (significand & 0xffffffffu) * 1000000u;  // below 2^52
    const uint64_t high = (significand >> 32) * 1000000u;         // below 2^41
    Wide r;
    r.lo = low + (high << 32);
    r.hi = (high >> 32) + (r.lo < low ? 1 : 0);
    return r;
}

bool below(const Wide& a, const Wide& b) { return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo); }

// value / 2^shift (shift 1 or more) rounded to the nearest whole number, an exact half to
// the even one, as printf rounds; false when the result does not fit 64 bits. `value` is
// below 2^73.
bool roundedShift(const Wide& value, int shift, uint64_t& result)
{
    if (shift >= 128) {
        result = 0;  // below half of 2^shift
        return true;
    }
    uint64_t q = 0;
    Wide rest, half;
    if (shift < 64) {
        if ((value.hi >> shift) != 0)
            return false;
        q = (value.hi << (64 - shift)) | (value.lo >> shift);
        rest.lo = value.lo & ((uint64_t(1) << shift) - 1);
        half.lo = uint64_t(1) << (shift - 1);
    } else {
        q = shift == 64 ? value.hi : value.hi >> (shift - 64);
        rest.hi = shift == 64 ? 0 : value.hi & ((uint64_t(1) << (shift - 64)) - 1);
        rest.lo = value.lo;
        if (shift == 64)
            half.lo = uint64_t(1) << 63;
        else
            half.hi = uint64_t(1) << (shift - 65);
    }
    const bool up = below(half, rest) || (!below(rest, half) && (q & 1) != 0);
    if (up && q == UINT64_MAX)
        return false;
    result = q + (up ? 1 : 0);
    return true;
}

// The value times a million, rounded as printf rounds its sixth decimal; false for values
// of 2^52 and more (and for infinities and NaN), which take the general way.
bool exactMillionths(uint64_t bits, uint64_t& result)
{
    const int exponent = static_cast<int>((bits >> 52) & 0x7ff);
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    if (exponent == 0x7ff)
        return false;
    // value = significand x 2^-shift
    const uint64_t significand = exponent == 0 ? fraction : fraction | (uint64_t(1) << 52);
    const int shift = exponent == 0 ? 1074 : 1075 - exponent;
    if (shift <= 0)
        return false;
    return roundedShift(timesMillion(significand), shift, result);
}

// "00" to "99": two digits at a time.
constexpr char DIGIT_PAIRS[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

void writePair(char* out, uint32_t value) { std::memcpy(out, DIGIT_PAIRS + 2 * value, 2); }

char* writeUnsigned(char* out, uint64_t value)
{
    int length = 1;
    for (uint64_t limit = 10; length < 20 && value >= limit; limit *= 10)
        ++length;
    char* p = out + length;
    for (; value >= 100; value /= 100) {
        p -= 2;
        writePair(p, static_cast<uint32_t>(value % 100));
    }
    if (value >= 10)
        writePair(p - 2, static_cast<uint32_t>(value));
    else
        p[-1] = static_cast<char>('0' + value);
    return out + length;
}

// The same, mostly from the product in double precision: the exact product lies within
// half a unit in the last place of the rounded one, so it rounds alike unless the rounded
// one stands that close to a half; only then is it computed exactly.
bool millionths(double value, uint64_t bits, uint64_t& result)
{
    const double scaled = std::fabs(value) * 1e6;
    if (scaled < 4503599627370496.0) {  // 2^52: whole numbers and their halves are exact
        const uint64_t whole = static_cast<uint64_t>(scaled);
        const double fraction = scaled - static_cast<double>(whole);
        const double margin = scaled * 2.3e-16;  // beyond half a unit in the last place (2^-53 relative)
        if (fraction < 0.5 - margin || fraction > 0.5 + margin) {
            result = whole + (fraction > 0.5 ? 1 : 0);
            return true;
        }
    }
    return exactMillionths(bits, result);
}

}  // namespace

char* writeFixed6(char* out, double value, double* readBack)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    uint64_t scaled = 0;
    if (readBack != nullptr)
        *readBack = std::numeric_limits<double>::quiet_NaN();
    if (millionths(value, bits, scaled)) {
        // The text's digits are those of `scaled`: its value is read as fixed6TextValue reads it.
        if (readBack != nullptr && scaled < (uint64_t(1) << 53)) {
            const double v = static_cast<double>(scaled) / 1e6;
            *readBack = (bits >> 63) != 0 ? -v : v;
        }
        if ((bits >> 63) != 0)
            *out++ = '-';  // printf keeps the sign of a negative value that rounds to zero
        const uint64_t whole = scaled / 1000000;
        const uint32_t decimals = static_cast<uint32_t>(scaled - whole * 1000000);
        out = writeUnsigned(out, whole);
        *out++ = '.';
        writePair(out, decimals / 10000);
        writePair(out + 2, decimals / 100 % 100);
        writePair(out + 4, decimals % 100);
        return out + 6;
    }
    // Large values: the exact fixed conversion of the standard library; infinities and
    // NaN as printf spells them.
    const std::to_chars_result r = std::to_chars(out, out + FIXED6_MAX_CHARS, value, std::chars_format::fixed, 6);
    if (r.ec == std::errc() && value - value == 0.0)
        return r.ptr;
    const int n = std::snprintf(out, FIXED6_MAX_CHARS, "%lf", value);
    return out + (n > 0 ? n : 0);
}

char* writeInteger(char* out, int32_t value) { return std::to_chars(out, out + INTEGER_MAX_CHARS, value).ptr; }

bool fixed6TextValue(const char* from, const char* to, double& value)
{
    const bool negative = from < to && *from == '-';
    const char* p = negative ? from + 1 : from;
    if (to - p < 8 || to - p > 23 || to[-7] != '.')
        return false;
    uint64_t millionths = 0;
    for (; p < to; ++p) {
        if (p == to - 7)
            continue;
        if (*p < '0' || *p > '9')
            return false;
        millionths = millionths * 10 + static_cast<uint64_t>(*p - '0');
        if (millionths >= (uint64_t(1) << 53))
            return false;
    }
    const double v = static_cast<double>(millionths) / 1e6;
    value = negative ? -v : v;
    return true;
}

void appendFixed6(std::string& text, double value)
{
    char buffer[FIXED6_MAX_CHARS];
    text.append(buffer, writeFixed6(buffer, value));
}

void appendInteger(std::string& text, int32_t value)
{
    char buffer[INTEGER_MAX_CHARS];
    text.append(buffer, writeInteger(buffer, value));
}
