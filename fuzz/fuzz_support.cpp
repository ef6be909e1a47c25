#include "fuzz/fuzz_support.h"

#include "formats/byte_reader.h"
#include "formats/bytes.h"
#include "formats/kgf.h"
#include "formats/mip.h"
#include "formats/output_file.h"
#include "formats/tga.h"
#include "platform/files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

std::string scratch_root;

void remove_scratch_folder() {
    std::error_code error;
    std::filesystem::remove_all(scratch_root, error);
}

// The input file's name as the batch hands it over: a plain one, or one
// that reaches the game's limit and raises the question before a KGF.
const char* input_name(file_type from, bool long_name) {
    switch (from) {
    case file_type::tga:
        return long_name ? "texture-name-of-thirty-six-chars.tga" : "wall.tga";
    case file_type::kgf:
        return long_name ? "texture-name-of-thirty-six-chars.kgf" : "stone.kgf";
    default:
        return "flame.kaf";
    }
}

// Pixels of the picture a KGF or TGA file states. A KGF of no levels
// states any size in a few bytes; converting a picture that large takes
// seconds under the sanitizers, and the readers' own targets cover it.
constexpr int64_t largest_fuzzed_picture = int64_t{1} << 20;

int64_t stated_pixels(file_type from, const uint8_t* data, size_t size) {
    const uint8_t* fixed = nullptr;
    if (from == file_type::tga && size >= tga_header_size)
        return int64_t{read_s16(data + 12)} * read_s16(data + 14);
    if (from != file_type::kgf || size <= sizeof kgf_prefix)
        return 0;
    const void* nul = std::memchr(data + sizeof kgf_prefix, 0, size - sizeof kgf_prefix);
    if (nul != nullptr)
        fixed = static_cast<const uint8_t*>(nul) + 1;
    if (fixed == nullptr || data + size - fixed < kgf_fixed_header_bytes)
        return 0;
    const kgf_header header = parse_kgf_header(fixed);
    return int64_t{header.width} * header.height;
}

[[noreturn]] void oracle_failed(const char* what, const std::string& file) {
    std::fprintf(stderr, "kgf fuzz: %s: %s\n", file.c_str(), what);
    std::abort();
}

// The 16-bit first level a TGA or KGF input gives, read as the conversion
// reads it. False when the input is not read whole, or holds no level.
bool input_first_level(file_type from, const uint8_t* data, size_t size, kgf_levels levels,
                       image_buffer& first) {
    byte_reader reader = memory_reader(data, size);
    init_image_buffer(first, 16);
    if (from == file_type::kgf) {
        kgf_reading reading;
        return decode_kgf(reader, first, levels, row_order::top_first, reading) == kgf_status::ok &&
               first.num_mipmaps >= 1;
    }
    image_buffer source;
    init_image_buffer(source, 32);
    return decode_tga(reader, source, row_order::top_first) == kgf_status::ok &&
           make_kgf_chain(first, source, 1) == kgf_status::ok;
}

// The round-trip oracle: every output the conversion wrote reads back whole
// with its own reader, and a KGF made from a TGA or a KGF holds the input's
// first level (the pixels a quality option may change left aside: dithered
// colours, and the colours of transparent pixels).
void check_outputs(file_type from, file_type to, const uint8_t* data, size_t size,
                   kgf_levels levels, kgf_quality quality, const std::string& folder) {
    for (const std::string& name : folder_names(folder.c_str())) {
        const std::string path = folder + name;
        image_buffer back;
        init_image_buffer(back, to == file_type::kgf ? 16 : 32);
        const kgf_status status = decode_file(path.c_str(), [&](byte_reader& reader) {
                                      kgf_reading reading;
                                      return to == file_type::kgf
                                                 ? decode_kgf(reader, back, kgf_levels::from_file,
                                                              row_order::top_first, reading)
                                                 : decode_tga(reader, back, row_order::top_first);
                                  }).status;
        if (status != kgf_status::ok)
            oracle_failed("an output that does not read back", path);
        if (to == file_type::tga && (back.width < 1 || back.height < 1))
            oracle_failed("a TGA of no pixel", path);
        if (to != file_type::kgf || from == file_type::kaf || back.num_mipmaps < 1)
            continue;
        image_buffer first;
        if (!input_first_level(from, data, size, levels, first))
            continue; // no pixels were read to compare with
        if (first.width != back.width || first.height != back.height)
            oracle_failed("a KGF of another size than its input", path);
        const size_t compared_bytes = static_cast<size_t>(first.width) * first.height * 2;
        if (first.data.size() < compared_bytes || back.data.size() < compared_bytes)
            oracle_failed("a KGF without its first level", path);
        const bool dithered = (static_cast<int>(quality) & 1) != 0;
        for (size_t i = 0; i < compared_bytes; i += 2) {
            const unsigned want = read_u16(first.data.data() + i);
            const unsigned got = read_u16(back.data.data() + i);
            const unsigned compared = dithered || (want & 0x8000) == 0 ? 0x8000 : 0xFFFF;
            if ((want & compared) != (got & compared))
                oracle_failed("a KGF whose first level is not its input's", path);
        }
    }
}

} // namespace

void fuzz_setup() {
    static bool ready = false;
    if (ready)
        return;
    ready = true;
}

fuzz_options options_from_byte(uint8_t bits, file_type from) {
    static const uint8_t level_counts[] = {1, 5, 0, 255};
    static const char* const suffixes[] = {"_MM", "", "ABCDEFGHI", "_"};
    fuzz_options chosen;
    conversion_options& options = chosen.options;
    options.num_mipmaps = level_counts[(bits & 1) | ((bits >> 6) & 2)];
    options.bpp = (bits & 2) ? 32 : 24;
    options.kgf_levels_read = (bits & 4) ? kgf_levels::from_file : kgf_levels::first_only;
    std::snprintf(options.suffix, sizeof options.suffix, "%s", suffixes[(bits >> 3) & 3]);
    chosen.name = input_name(from, (bits & 0x20) != 0);
    options.long_names = (bits & 0x40) != 0 ? long_name_answer::write : long_name_answer::refuse;
    return chosen;
}

kgf_quality quality_from_trailer(const uint8_t* data, size_t& size) {
    static const char mark[] = {'K', 'G', 'F', 'Q'};
    if (size < sizeof mark + 1 ||
        std::memcmp(data + size - sizeof mark - 1, mark, sizeof mark) != 0)
        return kgf_quality::none;
    size -= sizeof mark + 1;
    return quality_from_bits(data[size + sizeof mark]);
}

const std::string& empty_scratch_folder() {
    static std::string folder;
    if (folder.empty()) {
        // In memory where the system offers it: creating and deleting files
        // on a disk costs more than most runs.
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, error) || access("/dev/shm", W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string pattern = (base / "kgf-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("kgf fuzz: cannot make a scratch folder");
            std::abort();
        }
        scratch_root = pattern;
        std::atexit(remove_scratch_folder);
        folder = pattern + path_separator;
    }
    for (const std::string& name : folder_names(folder.c_str()))
        delete_file((folder + name).c_str());
    return folder;
}

void check_no_temporaries(const std::string& folder) {
    for (const std::string& name : folder_names(folder.c_str())) {
        unsigned long owner = 0;
        if (is_temporary_name(name, owner)) {
            std::fprintf(stderr, "kgf fuzz: %s left behind in %s\n", name.c_str(), folder.c_str());
            std::abort();
        }
    }
}

int fuzz_conversion(file_type from, file_type to, const uint8_t* data, size_t size) {
    fuzz_setup();
    const kgf_quality quality = quality_from_trailer(data, size);
    if (size < 1 || stated_pixels(from, data + 1, size - 1) > largest_fuzzed_picture)
        return 0;
    fuzz_options chosen = options_from_byte(data[0], from);
    chosen.options.quality = quality;
    const std::string& folder = empty_scratch_folder();

    conversion_request request;
    request.from = from;
    request.to = to;
    request.input = chosen.name;
    request.input_bytes = data + 1;
    request.input_size = size - 1;
    request.folder = folder;
    request.options = chosen.options;
    convert_file(request);
    check_no_temporaries(folder);
    check_outputs(from, to, data + 1, size - 1, chosen.options.kgf_levels_read, quality, folder);
    return 0;
}
