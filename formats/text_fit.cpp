#include "formats/text_fit.h"

namespace {

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Bytes of the character a lead byte starts, or 0 for any other byte.
size_t sequence_bytes(unsigned char byte) {
    if (byte >= 0xC2 && byte <= 0xDF)
        return 2;
    if (byte >= 0xE0 && byte <= 0xEF)
        return 3;
    if (byte >= 0xF0 && byte <= 0xF4)
        return 4;
    return 0;
}

} // namespace

size_t fitting_length(std::string_view text, size_t room) {
    if (text.size() <= room)
        return text.size();
    if (!is_continuation(static_cast<unsigned char>(text[room])))
        return room;
    // The cut falls inside a run of continuation bytes: back to its lead
    // byte, when that byte starts a character reaching past the cut.
    size_t lead = room;
    while (lead > 0 && room - lead < 3 &&
           is_continuation(static_cast<unsigned char>(text[lead - 1])))
        --lead;
    if (lead == 0)
        return room;
    --lead;
    const size_t length = sequence_bytes(static_cast<unsigned char>(text[lead]));
    if (length == 0 || lead + length <= room)
        return room;
    // A character the text itself ends inside is cut off whole as well.
    const size_t end = lead + length < text.size() ? lead + length : text.size();
    for (size_t i = lead + 1; i < end; ++i)
        if (!is_continuation(static_cast<unsigned char>(text[i])))
            return room;
    return lead;
}
