#pragma once
// The settings program's reader, fed like the batch readers of fuzz_targets.h.

#include <cstddef>
#include <cstdint>
#include <string>

/// The whole input is a settings file, read as Load Settings reads it and then as the
/// batch program reads its configuration file: the two must agree on every value.
/// Returns "" when the reader behaved, else the contract it broke.
std::string feedSettingsFile(const uint8_t* data, std::size_t size);
