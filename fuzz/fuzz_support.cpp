#include "fuzz/fuzz_support.h"

#include "formats/bytes.h"
#include "formats/kgf.h"
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
    return 0;
}
