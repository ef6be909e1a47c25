// The readers take paths: each input goes through a file of this process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes the input to the process's scratch file and returns its path.
// Messages are swallowed; settings are at their defaults.
const std::string& fuzz_input_file(const uint8_t* data, size_t size);
