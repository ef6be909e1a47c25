#include "routines/kgf_file.h"

#include "formats/byte_reader.h"
#include "formats/kgf.h"
#include "formats/rle.h"
#include "routines/image_info.h"
#include "routines/messages.h"
#include "settings/settings.h"

#include <algorithm>
#include <vector>

int read_kgf(const char* path, image_buffer& image, int use_file_mipmaps, int for_display) {
    const kgf_levels levels = use_file_mipmaps != 0 && settings.mipmaps != 0
                                  ? kgf_levels::from_file
                                  : kgf_levels::first_only;
    const row_order rows = for_display != 0 ? row_order::bottom_first : row_order::top_first;
    kgf_reading reading;
    const kgf_status status = decode_file(path, [&](byte_reader& reader) {
        return decode_kgf(reader, image, levels, rows, reading);
    });
    if (status == kgf_status::cannot_open)
        return 0;
    if (reading.mip_count_read)
        image_info.mip_levels = reading.header.mip_count;
    report_kgf_reading(message_box_sink(), reading, status, path);
    return status == kgf_status::ok ? 1 : 0;
}

namespace {

// Reads runs from the stream into runs, a block at a time and no more than
// could still be needed for expected_bytes. False on a read error; a stream
// that ends early is no error.
bool read_needed_runs(FILE* stream, int64_t expected_bytes, std::vector<uint8_t>& runs) {
    constexpr size_t runs_per_read = 4096;
    uint8_t block[runs_per_read * run_bytes];
    int64_t covered = 0;
    while (covered < expected_bytes) {
        const int64_t most_needed = (expected_bytes - covered + 1) / 2;
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(most_needed, runs_per_read)) * run_bytes;
        const size_t got = std::fread(block, 1, wanted, stream);
        runs.insert(runs.end(), block, block + got);
        for (size_t k = 0; k + run_bytes <= got; k += run_bytes)
            covered += 2 * run_pixels(block[k]);
        if (got == wanted || covered >= expected_bytes)
            continue;
        return std::feof(stream) || !std::ferror(stream);
    }
    return true;
}

} // namespace

int64_t rle_decode(FILE* stream, image_buffer& image, int64_t expected_bytes, int for_display) {
    std::vector<uint8_t> runs;
    if (!read_needed_runs(stream, expected_bytes, runs))
        return -1;
    const int64_t held =
        std::min(std::max<int64_t>(expected_bytes, 0), static_cast<int64_t>(image.data.size()));
    const run_decoding result =
        decode_runs(runs.data(), runs.size(), image.data.data(), held, 0, expected_bytes);
    if (for_display != 0)
        keep_first_level_for_display(image, held, result.complete);
    return result.decoded;
}

int write_kgf(FILE* stream, const char* name, const image_buffer& image, int64_t total_bytes) {
    std::vector<uint8_t> bytes;
    if (!encode_kgf(bytes, name, image, total_bytes))
        return 0;
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() ? 1 : 0;
}

int rle_encode(FILE* stream, const image_buffer& image, int64_t total_bytes) {
    if (total_bytes > static_cast<int64_t>(image.data.size()))
        return 0;
    std::vector<uint8_t> runs;
    encode_runs(runs, image.data.data(), total_bytes,
                chain_level_ends(image.num_mipmaps, image.width, image.height, image.bpp));
    return runs.empty() || std::fwrite(runs.data(), 1, runs.size(), stream) == runs.size() ? 1 : 0;
}
