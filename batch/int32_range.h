#pragma once

#include <cstdint>

/// A whole number read from a file or the console, saturated to the 32-bit range:
/// out-of-range values read the same in the 32-bit and the 64-bit build.
inline int32_t clampToInt32(long long value)
{
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}
