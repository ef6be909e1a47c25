// The game's texture file: lead bytes, name, fixed header, RLE mip chain.
#pragma once

#include "formats/byte_reader.h"
#include "formats/image_buffer.h"

#include <cstdint>
#include <cstdio>
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

// Flags of read_kgf: how many levels, and for whom.
constexpr int first_level_only = 0; // use_file_mipmaps
constexpr int all_levels = 1;       // as many as the file declares, while "mipmaps" is on
constexpr int for_conversion = 0;   // for_display: rows top first
constexpr int for_preview = 1;      // rows bottom first, first level only

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
// init_image_buffer. With take_file_levels the image gets the file's level
// count; with for_display the first level's rows come bottom first. Reports
// nothing: the caller shows the header's warnings and the result.
kgf_status decode_kgf(byte_reader& reader, image_buffer& image, bool take_file_levels,
                      bool for_display, kgf_reading& reading);

// Shows what a decode found under the subject's name: the header's warnings,
// then the failure, if any.
void report_kgf_reading(const kgf_reading& reading, kgf_status status, const char* subject);

// Reads a KGF file into a 16-bit image prepared by init_image_buffer.
// Returns 1 on success, 0 on failure; data may stay allocated on failure.
int read_kgf(const char* path, image_buffer& image, int use_file_mipmaps, int for_display);

// Decodes run data from the stream's position into image.data. Returns the
// bytes decoded (the whole of the last run counted), or -1 on a read error.
int64_t rle_decode(FILE* stream, image_buffer& image, int64_t expected_bytes, int for_display);

kgf_header build_kgf_header(const image_buffer& image);

// Appends a whole KGF file: lead bytes, name, header, run data. 0 when the
// image's block does not hold total_bytes.
int encode_kgf(std::vector<uint8_t>& out, const char* name, const image_buffer& image,
               int64_t total_bytes);

// Writes a whole KGF file; returns 1 when every write succeeded, else 0.
int write_kgf(FILE* stream, const char* name, const image_buffer& image, int64_t total_bytes);

// Appends the run data of the image's chain; returns 1 on success, else 0.
int rle_encode(FILE* stream, const image_buffer& image, int64_t total_bytes);
