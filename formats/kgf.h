// The game's texture file: lead bytes, name, fixed header, RLE mip chain.
#pragma once

#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/report.h"

#include <cstdint>
#include <vector>

struct kgf_header {
    uint8_t prefix[3];
    uint8_t mip_count;
    uint8_t filler[9];
    int16_t width;
    int16_t height;
    uint16_t format_field;
};

constexpr uint16_t kgf_format_field = 0x2820;
constexpr int kgf_fixed_header_bytes = 16; // mip_count .. format_field
constexpr uint8_t kgf_prefix[3] = {0x00, 0x00, 0x7A};

// The levels decode_kgf takes: one, or as many as the file declares.
enum class kgf_levels : uint8_t { first_only, from_file };

// What the decoder learnt of a file besides its pixels.
struct kgf_reading {
    bool header_read = false;    // the fixed fields were all there
    bool mip_count_read = false; // at least the mip count was
    kgf_header header = {};
};

// Header fields from the 16 fixed bytes that follow the name.
kgf_header parse_kgf_header(const uint8_t fixed[kgf_fixed_header_bytes]);

// The header checked against the limits: bad_image_size for negative sides.
kgf_status check_kgf_header(const kgf_header& header);

// The two warnings a header can give: bad_filler, bad_field_value.
bool kgf_filler_is_bad(const kgf_header& header);
bool kgf_field_is_bad(const kgf_header& header);

// Decodes a whole KGF file into a 16-bit image prepared by
// init_image_buffer. With kgf_levels::from_file the image gets the file's
// level count, at least one: a file that declares none still holds its
// first level, which every reader shows. Bottom row first is for display: the first level alone,
// turned, the rest of the block zero. Reports nothing: the caller shows the
// header's warnings and the result.
kgf_status decode_kgf(byte_reader& reader, image_buffer& image, kgf_levels levels, row_order rows,
                      kgf_reading& reading);

// Keeps the first level of a decoded chain for display: turned bottom row
// first, every byte after it zero; all zero when the runs were not whole
// (complete false) or the level does not fit the held bytes.
void keep_first_level_for_display(image_buffer& image, int64_t held, bool complete);

// Hands the header's warnings, if a decode read it, to the sink under the
// subject's name. The decode's failure is the caller's to show.
void warn_kgf_header(const report_sink& sink, const kgf_reading& reading, const char* subject);

kgf_header build_kgf_header(const image_buffer& image);

// Appends a whole KGF file: lead bytes, name, header, run data.
// bad_image_size (out unchanged) when the image's block does not hold
// total_bytes.
kgf_status encode_kgf(std::vector<uint8_t>& out, const char* name, const image_buffer& image,
                      int64_t total_bytes);
