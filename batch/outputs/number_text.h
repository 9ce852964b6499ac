#pragma once

#include <cstdint>
#include <string>

// Numbers as printf writes them, built without printf for the large point files:
// appendFixed6 gives exactly what "%lf" gives (six decimals, correctly rounded,
// "-0.000000" for small negative values), appendInteger what "%i" gives.
void appendFixed6(std::string& text, double value);
void appendInteger(std::string& text, int32_t value);
