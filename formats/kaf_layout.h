// Where the parts of a KAF lie: the animation header in its two forms and
// the lead bytes before each frame's name. The reader and the writer both
// lay files out by these.
#pragma once

#include <cstdint>

// A first header byte of 127 marks the short header.
constexpr uint8_t short_form_marker = 127;
constexpr int short_header_bytes = 7;
constexpr int long_header_bytes = 17;

// Bytes before each frame's name.
constexpr int lead_bytes = 3;
