// Little-endian fields, as every file format here stores them.
#pragma once

#include <cstdint>
#include <vector>

inline uint16_t read_u16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline int16_t read_s16(const uint8_t* bytes) {
    return static_cast<int16_t>(read_u16(bytes));
}

inline void write_u16(uint8_t* bytes, uint16_t value) {
    bytes[0] = static_cast<uint8_t>(value & 0xFF);
    bytes[1] = static_cast<uint8_t>(value >> 8);
}

inline void write_u32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value & 0xFF);
    bytes[1] = static_cast<uint8_t>(value >> 8 & 0xFF);
    bytes[2] = static_cast<uint8_t>(value >> 16 & 0xFF);
    bytes[3] = static_cast<uint8_t>(value >> 24);
}

inline void append_u16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
