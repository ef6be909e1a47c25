// Texts cut to fit a fixed field, counted in bytes.
#pragma once

#include <cstddef>
#include <string_view>

// The length of the longest start of text that fits in room bytes and does
// not end inside a UTF-8 character. Bytes that do not form UTF-8 (a name in
// another code page) count one each and are cut where they fall.
size_t fitting_length(std::string_view text, size_t room);
