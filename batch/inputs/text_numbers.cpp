#include "batch/inputs/text_numbers.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The powers of ten that a double holds exactly.
constexpr double EXACT_POWERS_OF_TEN[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                          1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The plain decimals that point files hold ("-123.456789"): digits, a point and digits,
// no exponent. Their value is n / 10^k with both exact as doubles (n below 2^53, k at
// most 22), so one division rounds it correctly, to the double strtod gives. False,
// with nothing read, for anything else.
bool readPlainDecimal(const char*& p, const char* end, double& value)
{
    const char* s = p;
    const bool negative = s < end && *s == '-';
    if (negative)
        ++s;
    uint64_t n = 0;
    int digits = 0, decimals = 0;
    for (; s < end && isDigit(*s) && digits < 19; ++s, ++digits)
        n = n * 10 + static_cast<uint64_t>(*s - '0');
    if (s < end && *s == '.')
        for (++s; s < end && isDigit(*s) && digits < 19; ++s, ++digits, ++decimals)
            n = n * 10 + static_cast<uint64_t>(*s - '0');
    if (digits == 0 || digits == 19 || n > (uint64_t(1) << 53) || decimals > 22)
        return false;
    if (s < end && (*s == 'e' || *s == 'E' || isDigit(*s)))
        return false;  // an exponent (or more digits than counted) takes the general way
    value = static_cast<double>(n) / EXACT_POWERS_OF_TEN[decimals];
    if (negative)
        value = -value;
    p = s;
    return true;
}

// The C library itself reads what the fast way leaves to it: a leading '+', "inf" and
// "nan" in their spellings, hexadecimal numbers, values beyond the range of a double.
template <class Read>
const char* readWithLibrary(const char* p, const char* end, Read read)
{
    const std::size_t n = static_cast<std::size_t>(end - p);
    char small[256];
    std::string large;
    char* text = small;
    if (n < sizeof small) {
        std::memcpy(small, p, n);
        small[n] = '\0';
    } else {
        large.assign(p, n);
        text = large.data();
    }
    char* stop = nullptr;
    read(text, &stop);
    return p + (stop - text);
}

// The first character after an optional sign, or '\0' at the end of the text.
char afterSign(const char* q, const char* end)
{
    if (q < end && (*q == '-' || *q == '+'))
        ++q;
    return q < end ? *q : '\0';
}

}  // namespace

const char* readReal(const char* p, const char* end, double& value)
{
    value = 0.0;
    const char* q = p;
    while (q < end && isBlankChar(*q))
        ++q;
    const char first = afterSign(q, end);
    const bool decimal = isDigit(first) || first == '.';
    if (!decimal && first != 'i' && first != 'I' && first != 'n' && first != 'N')
        return p;  // no number can start here
    const char* digits = q + (*q == '-' || *q == '+' ? 1 : 0);
    const bool hex = first == '0' && digits + 1 < end && (digits[1] == 'x' || digits[1] == 'X');
    if (decimal && !hex && *q != '+') {
        if (readPlainDecimal(q, end, value))
            return q;
        // Correctly rounded like strtod, and it stops where strtod stops.
        const std::from_chars_result r = std::from_chars(q, end, value);
        if (r.ec == std::errc())
            return r.ptr;
        value = 0.0;
    }
    return readWithLibrary(p, end, [&value](const char* text, char** stop) { value = std::strtod(text, stop); });
}

const char* readWhole(const char* p, const char* end, long long& value)
{
    value = 0;
    const char* q = p;
    while (q < end && isBlankChar(*q))
        ++q;
    if (!isDigit(afterSign(q, end)))
        return p;
    if (*q != '+') {
        const std::from_chars_result r = std::from_chars(q, end, value, 10);
        if (r.ec == std::errc())
            return r.ptr;
        value = 0;
    }
    return readWithLibrary(p, end, [&value](const char* text, char** stop) { value = std::strtoll(text, stop, 10); });
}
